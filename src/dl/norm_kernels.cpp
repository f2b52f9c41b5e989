// The lanes are kSquareLanes / (the build's vector width) accumulators side by side,
// so additions of many lanes overlap in time and the loop keeps up with memory.
#include <cstddef>

#include "core/simd.hpp"
#include "dl/norm_kernels.hpp"

namespace mosswick::dl {
namespace {

double sum_of_squares(const double* x, std::size_t n) {
    using V = simd::Vec<double>;
    constexpr std::size_t kWidth = simd::kLanes<double>;
    constexpr std::size_t kAccumulators = kSquareLanes / kWidth;
    static_assert(kAccumulators * kWidth == kSquareLanes);
    V lane[kAccumulators];
    for (V& l : lane) {
        l = simd::splat<V>(-0.0);
    }
    std::size_t i = 0;
    for (; i + kSquareLanes <= n; i += kSquareLanes) {
        for (std::size_t a = 0; a < kAccumulators; ++a) {
            const V v = simd::load<V>(x + i + a * kWidth);
            lane[a] += v * v;
        }
    }
    double s[kSquareLanes];
    for (std::size_t a = 0; a < kAccumulators; ++a) {
        simd::store(s + a * kWidth, lane[a]);
    }
    for (std::size_t k = 0; i + k < n; ++k) {
        s[k] += x[i + k] * x[i + k];
    }
    for (std::size_t half = kSquareLanes / 2; half > 0; half /= 2) {
        for (std::size_t k = 0; k < half; ++k) {
            s[k] += s[k + half];
        }
    }
    return s[0];
}

void scale(double* x, std::size_t n, double factor) {
    using V = simd::Vec<double>;
    constexpr std::size_t kWidth = simd::kLanes<double>;
    const V f = simd::splat<V>(factor);
    std::size_t i = 0;
    for (; i + kWidth <= n; i += kWidth) {
        simd::store(x + i, f * simd::load<V>(x + i));
    }
    for (; i < n; ++i) {
        x[i] = factor * x[i];
    }
}

constexpr NormKernels kNormKernels{&sum_of_squares, &scale};

}  // namespace

template <>
const NormKernels& NormKernels::build<Isa::MOSSWICK_ISA>() {
    return kNormKernels;
}

}  // namespace mosswick::dl
