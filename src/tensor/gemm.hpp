// The general matrix product over strided operands, cache-blocked after the
// GotoBLAS/BLIS scheme: panels of both operands are packed into contiguous
// blocks sized for the caches, and a register-tiled kernel multiplies them.
#pragma once

#include <cstddef>

namespace mosswick::tensor {

// A read-only matrix: element (i, j) is at data[i * row_stride + j * col_stride], so a
// transpose is the same memory with the two strides swapped.
struct StridedMatrix {
    const double* data;
    std::size_t row_stride;
    std::size_t col_stride;
};

// C = A B for A of m x k and B of k x n. C has row stride c_row and unit column stride;
// it is written without being read (all zeros when k is 0). Runs on the calling thread.
void gemm(std::size_t m, std::size_t k, std::size_t n, StridedMatrix a, StridedMatrix b, double* c,
          std::size_t c_row);

}  // namespace mosswick::tensor
