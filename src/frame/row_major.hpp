// A dense matrix of doubles in one buffer, returned to Python as a new list of
// rows, each a list of floats.
#pragma once

#include <cstddef>

#include "frame/buffer.hpp"

namespace mosswick {

struct RowMajor {
    static RowMajor uninitialized(std::size_t rows, std::size_t cols) {
        return {AlignedBuffer<double>::uninitialized(rows * cols), rows, cols};
    }

    double* row(std::size_t i) { return values.data() + i * cols; }

    AlignedBuffer<double> values;  // entry (i, j) at i * cols + j
    std::size_t rows = 0;
    std::size_t cols = 0;
};

}  // namespace mosswick
