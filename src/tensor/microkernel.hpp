// The register-tiled inner kernels of the matrix product, one per instruction set.
// A kernel computes one tile of rows x cols elements of C from two packed panels
// over an inner size k:
//   a: k columns of `rows` values each (the tile's rows of A, column after column),
//   b: k rows of `cols` values each (the tile's columns of B, row after row); it
//      starts on a 64-byte boundary whenever cols is a multiple of 8.
// The tile is written at c with row stride c_row and unit column stride: added to
// what c holds when `accumulate` is set, otherwise stored without reading c.
#pragma once

#include <cstddef>

namespace mosswick::tensor {

// The largest tile (rows x cols) of any kernel.
inline constexpr std::size_t kMaxTile = 256;

struct MicroKernel {
    std::size_t rows;
    std::size_t cols;
    void (*tile)(std::size_t k, const double* a, const double* b, double* c, std::size_t c_row, bool accumulate);
};

// Each needs the instruction set it is named after (the caller checks).
MicroKernel avx512_kernel();
MicroKernel avx2_kernel();
MicroKernel portable_kernel();

}  // namespace mosswick::tensor
