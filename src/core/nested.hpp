// A result returned to Python as nested lists: row-major values and the extents
// that group them, one list level per extent; with no extents, the single value.
#pragma once

#include <cstddef>
#include <vector>

#include "core/buffer.hpp"

namespace mosswick {

template <class T>
struct NestedList {
    std::vector<std::size_t> shape;
    AlignedBuffer<T> values;  // the product of the extents, in row-major order

    // A rows x cols matrix, its values still to be written.
    static NestedList matrix(std::size_t rows, std::size_t cols) {
        return {{rows, cols}, AlignedBuffer<T>::uninitialized(rows * cols)};
    }
    T* row(std::size_t i) { return values.data() + i * shape[1]; }
};

}  // namespace mosswick
