// The matrix product's kernel, written once at the build's vector width; the build
// compiles this body once per instruction set (see core/isa.hpp). A tile of kRows x
// (kVectors vectors) stays in accumulator registers: each step of the inner loop
// loads one row of the B panel, broadcasts the kRows values of the A panel's column
// and issues kRows x kVectors multiply-adds.
#include <cstddef>

#include "core/simd.hpp"
#include "tensor/gemm_kernels.hpp"

namespace mosswick::tensor {
namespace {

using Doubles = simd::Vec<double>;
constexpr std::size_t kLanes = simd::kLanes<double>;

// AVX-512: 8 x 24 in 24 of the 32 registers. AVX2: 6 x 8 in 12 of the 16 (two more
// hold a row of B and one the broadcast value). Portable: 4 x 4 in 8.
constexpr std::size_t kRows = simd::kIsa == Isa::avx512 ? 8 : simd::kIsa == Isa::avx2 ? 6 : 4;
constexpr std::size_t kVectors = simd::kIsa == Isa::avx512 ? 3 : 2;
constexpr std::size_t kCols = kVectors * kLanes;
static_assert(kRows * kCols <= kMaxTile);

void tile(std::size_t k, const double* a, const double* b, double* c, std::size_t c_row, bool accumulate) {
    Doubles acc[kRows][kVectors];
#pragma GCC unroll 8
    for (std::size_t r = 0; r < kRows; ++r) {
#pragma GCC unroll 3
        for (std::size_t v = 0; v < kVectors; ++v) {
            acc[r][v] = Doubles{};
        }
    }
#pragma GCC unroll 2
    for (std::size_t p = 0; p < k; ++p) {
        Doubles row[kVectors];
#pragma GCC unroll 3
        for (std::size_t v = 0; v < kVectors; ++v) {
            row[v] = simd::load<Doubles>(b + v * kLanes);
        }
#pragma GCC unroll 8
        for (std::size_t r = 0; r < kRows; ++r) {
            const Doubles x = simd::splat<Doubles>(a[r]);
#pragma GCC unroll 3
            for (std::size_t v = 0; v < kVectors; ++v) {
                acc[r][v] = simd::mul_add(x, row[v], acc[r][v]);
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
            Doubles value = acc[r][v];
            if (accumulate) {
                value = simd::load<Doubles>(out + v * kLanes) + value;
            }
            simd::store(out + v * kLanes, value);
        }
    }
}

constexpr GemmKernels kGemmKernels{kRows, kCols, &tile};

}  // namespace

template <>
const GemmKernels& GemmKernels::build<Isa::MOSSWICK_ISA>() {
    return kGemmKernels;
}

}  // namespace mosswick::tensor
