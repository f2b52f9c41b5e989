// The AVX-512 kernel: a tile of kRows x 24 held in 24 zmm accumulators. Each step
// of the inner loop loads one row of the B panel (three vectors), broadcasts the
// kRows values of the A panel's column and issues 24 fused multiply-adds.
#include <immintrin.h>

#include "tensor/microkernel.hpp"

namespace mosswick::tensor {

namespace {

constexpr std::size_t kRows = 8;
constexpr std::size_t kVectors = 3;
constexpr std::size_t kWidth = 8;  // doubles per vector
constexpr std::size_t kCols = kVectors * kWidth;
static_assert(kRows * kCols <= kMaxTile);

void tile(std::size_t k, const double* a, const double* b, double* c, std::size_t c_row, bool accumulate) {
    __m512d acc[kRows][kVectors];
#pragma GCC unroll 8
    for (std::size_t r = 0; r < kRows; ++r) {
#pragma GCC unroll 3
        for (std::size_t v = 0; v < kVectors; ++v) {
            acc[r][v] = _mm512_setzero_pd();
        }
    }
#pragma GCC unroll 2
    for (std::size_t p = 0; p < k; ++p) {
        __m512d row[kVectors];
#pragma GCC unroll 3
        for (std::size_t v = 0; v < kVectors; ++v) {
            row[v] = _mm512_load_pd(b + v * kWidth);
        }
#pragma GCC unroll 8
        for (std::size_t r = 0; r < kRows; ++r) {
            const __m512d x = _mm512_set1_pd(a[r]);
#pragma GCC unroll 3
            for (std::size_t v = 0; v < kVectors; ++v) {
                acc[r][v] = _mm512_fmadd_pd(x, row[v], acc[r][v]);
            }
        }
        a += kRows;
        b += kCols;
    }
#pragma GCC unroll 8
    for (std::size_t r = 0; r < kRows; ++r) {
        double* out = c + r * c_row;
#pragma GCC unroll 3
        for (std::size_t v = 0; v < kVectors; ++v) {
            __m512d value = acc[r][v];
            if (accumulate) {
                value = _mm512_add_pd(_mm512_loadu_pd(out + v * kWidth), value);
            }
            _mm512_storeu_pd(out + v * kWidth, value);
        }
    }
}

}  // namespace

MicroKernel avx512_kernel() {
    return {kRows, kCols, tile};
}

}  // namespace mosswick::tensor
