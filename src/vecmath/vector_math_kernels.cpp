// The array forms of exp, log and tanh, once per instruction set. A partial last
// vector is filled with zeros, so every element takes the vector path.
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/vector_math.hpp"
#include "core/vector_math_probe.hpp"

namespace mosswick::vecmath {
namespace {

template <class F>
void map_array(const double* x, double* out, std::size_t n, F f) {
    if constexpr (kVectorised) {
        std::size_t i = 0;
        for (; i + kWidth <= n; i += kWidth) {
            simd::store(out + i, f(simd::load<Doubles>(x + i)));
        }
        if (i < n) {
            double part[kWidth] = {};
            std::memcpy(part, x + i, (n - i) * sizeof(double));
            simd::store(part, f(simd::load<Doubles>(part)));
            std::memcpy(out + i, part, (n - i) * sizeof(double));
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = f(x[i]);
        }
    }
}

void exp_array(const double* x, double* out, std::size_t n) {
    map_array(x, out, n, [](auto v) { return exp(v); });
}

void log_array(const double* x, double* out, std::size_t n) {
    map_array(x, out, n, [](auto v) { return log(v); });
}

void tanh_array(const double* x, double* out, std::size_t n) {
    map_array(x, out, n, [](auto v) { return tanh(v); });
}

constexpr MathKernels kMathKernels{&exp_array, &log_array, &tanh_array};

}  // namespace

template <>
const MathKernels& MathKernels::build<Isa::MOSSWICK_ISA>() {
    return kMathKernels;
}

}  // namespace mosswick::vecmath
