// The register-tiled inner kernel of the matrix product and the cache blocking that
// feeds it, one build per instruction set; dispatch<GemmKernels>() gives the running
// processor's. A tile is rows x cols elements of C computed from two packed panels
// over an inner size k:
//   a: k columns of `rows` values each (the tile's rows of A, column after column),
//   b: k rows of `cols` values each (the tile's columns of B, row after row); it
//      starts on a 64-byte boundary whenever cols is a multiple of 8.
// The tile is written at c with row stride c_row and unit column stride: added to
// what c holds when `accumulate` is set, otherwise stored without reading c.
#pragma once

#include <cstddef>

#include "core/isa.hpp"

namespace mosswick::tensor {

// The largest tile (rows x cols) of any build.
inline constexpr std::size_t kMaxTile = 256;

struct GemmKernels {
    std::size_t rows;
    std::size_t cols;
    void (*tile)(std::size_t k, const double* a, const double* b, double* c, std::size_t c_row, bool accumulate);

    template <Isa>
    static const GemmKernels& build();
};

}  // namespace mosswick::tensor
