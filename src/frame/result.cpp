#include "frame/result.hpp"

#include "frame/ref.hpp"

namespace mosswick::frame {

PyObject* Result<unsigned __int128>::build(unsigned __int128 value) {
    const auto high = static_cast<unsigned long long>(value >> 64);
    const auto low = static_cast<unsigned long long>(value);
    if (high == 0) {
        return PyLong_FromUnsignedLongLong(low);
    }
    const Ref upper(PyLong_FromUnsignedLongLong(high));
    const Ref shift(PyLong_FromLong(64));
    const Ref lower(PyLong_FromUnsignedLongLong(low));
    if (!upper || !shift || !lower) {
        return nullptr;
    }
    const Ref shifted(PyNumber_Lshift(upper.get(), shift.get()));
    return shifted ? PyNumber_Or(shifted.get(), lower.get()) : nullptr;
}

}  // namespace mosswick::frame
