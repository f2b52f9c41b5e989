// The block sizes of the loops around the matrix product's kernel (see gemm.cpp),
// from the data cache sizes and the kernel's tile.
#pragma once

#include <cstddef>

#include "core/caches.hpp"

namespace mosswick::tensor {

struct Blocking {
    std::size_t kc;  // inner size of one block
    std::size_t nc;  // columns of the packed B block
    std::size_t mc;  // rows of the packed A block
};

// The largest blocks for these caches and a tile of rows x cols.
Blocking blocking(const CacheSizes& caches, std::size_t rows, std::size_t cols);

}  // namespace mosswick::tensor
