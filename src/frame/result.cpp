#include "frame/result.hpp"

namespace mosswick::frame {

PyObject* Result<unsigned __int128>::build(unsigned __int128 value) {
    const auto high = static_cast<unsigned long long>(value >> 64);
    const auto low = static_cast<unsigned long long>(value);
    if (high == 0) {
        return PyLong_FromUnsignedLongLong(low);
    }
    PyObject* upper = PyLong_FromUnsignedLongLong(high);
    PyObject* shift = PyLong_FromLong(64);
    PyObject* lower = PyLong_FromUnsignedLongLong(low);
    PyObject* shifted = upper != nullptr && shift != nullptr ? PyNumber_Lshift(upper, shift) : nullptr;
    PyObject* result = shifted != nullptr && lower != nullptr ? PyNumber_Or(shifted, lower) : nullptr;
    Py_XDECREF(upper);
    Py_XDECREF(shift);
    Py_XDECREF(lower);
    Py_XDECREF(shifted);
    return result;
}

}  // namespace mosswick::frame
