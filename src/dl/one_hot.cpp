#include "dl/one_hot.hpp"

#include <cstddef>

#include "core/errors.hpp"

namespace mosswick::dl {

NewArray<2> one_hot(Labels indices, std::uint64_t num_classes) {
    if (!indices.contiguous()) {
        throw ValueError("indices must be contiguous");
    }
    const std::size_t n = indices.size();
    const std::int64_t* index = indices.data();
    for (std::size_t i = 0; i < n; ++i) {
        if (index[i] < 0 || static_cast<std::uint64_t>(index[i]) >= num_classes) {
            throw ValueError("class index out of range for num_classes");
        }
    }
    // The element count, refused before any allocation when it cannot be formed.
    std::uint64_t count = 0;
    if (__builtin_mul_overflow(n, num_classes, &count) || count >= (std::uint64_t{1} << 61)) {
        throw InternalFailure("capacity overflow");
    }
    auto out = AlignedBuffer<double>::zeros(count);
    for (std::size_t i = 0; i < n; ++i) {
        out[i * num_classes + static_cast<std::size_t>(index[i])] = 1.0;
    }
    return {std::move(out), {n, num_classes}};
}

}  // namespace mosswick::dl
