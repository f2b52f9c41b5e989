// The AVX2 kernel: a tile of 6 x 8 held in 12 ymm accumulators (of the 16
// registers, two more hold a row of the B panel and one the broadcast value).
#include <immintrin.h>

#include "tensor/microkernel.hpp"

namespace mosswick::tensor {

namespace {

constexpr std::size_t kRows = 6;
constexpr std::size_t kVectors = 2;
constexpr std::size_t kWidth = 4;  // doubles per vector
constexpr std::size_t kCols = kVectors * kWidth;
static_assert(kRows * kCols <= kMaxTile);

void tile(std::size_t k, const double* a, const double* b, double* c, std::size_t c_row, bool accumulate) {
    __m256d acc[kRows][kVectors];
#pragma GCC unroll 6
    for (std::size_t r = 0; r < kRows; ++r) {
#pragma GCC unroll 2
        for (std::size_t v = 0; v < kVectors; ++v) {
            acc[r][v] = _mm256_setzero_pd();
        }
    }
#pragma GCC unroll 2
    for (std::size_t p = 0; p < k; ++p) {
        __m256d row[kVectors];
#pragma GCC unroll 2
        for (std::size_t v = 0; v < kVectors; ++v) {
            row[v] = _mm256_load_pd(b + v * kWidth);
        }
#pragma GCC unroll 6
        for (std::size_t r = 0; r < kRows; ++r) {
            const __m256d x = _mm256_broadcast_sd(a + r);
#pragma GCC unroll 2
            for (std::size_t v = 0; v < kVectors; ++v) {
                acc[r][v] = _mm256_fmadd_pd(x, row[v], acc[r][v]);
            }
        }
        a += kRows;
        b += kCols;
    }
#pragma GCC unroll 6
    for (std::size_t r = 0; r < kRows; ++r) {
        double* out = c + r * c_row;
#pragma GCC unroll 2
        for (std::size_t v = 0; v < kVectors; ++v) {
            __m256d value = acc[r][v];
            if (accumulate) {
                value = _mm256_add_pd(_mm256_loadu_pd(out + v * kWidth), value);
            }
            _mm256_storeu_pd(out + v * kWidth, value);
        }
    }
}

}  // namespace

MicroKernel avx2_kernel() {
    return {kRows, kCols, tile};
}

}  // namespace mosswick::tensor
