// The kernel for any processor: a 4 x 4 tile in plain C++, with separate
// multiplies and adds, which the compiler keeps in registers.
#include "tensor/microkernel.hpp"

namespace mosswick::tensor {

namespace {

constexpr std::size_t kRows = 4;
constexpr std::size_t kCols = 4;
static_assert(kRows * kCols <= kMaxTile);

void tile(std::size_t k, const double* a, const double* b, double* c, std::size_t c_row, bool accumulate) {
    double acc[kRows][kCols] = {};
    for (std::size_t p = 0; p < k; ++p) {
        for (std::size_t r = 0; r < kRows; ++r) {
            for (std::size_t j = 0; j < kCols; ++j) {
                acc[r][j] += a[r] * b[j];
            }
        }
        a += kRows;
        b += kCols;
    }
    for (std::size_t r = 0; r < kRows; ++r) {
        for (std::size_t j = 0; j < kCols; ++j) {
            c[r * c_row + j] = accumulate ? c[r * c_row + j] + acc[r][j] : acc[r][j];
        }
    }
}

}  // namespace

MicroKernel portable_kernel() {
    return {kRows, kCols, tile};
}

}  // namespace mosswick::tensor
