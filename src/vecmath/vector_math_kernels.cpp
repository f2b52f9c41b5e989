// The array forms of exp, log and tanh, once per instruction set.
#include <cstddef>

#include "vecmath/vector_math.hpp"
#include "vecmath/vector_math_kernels.hpp"

namespace mosswick::vecmath {
namespace {

void exp_array(const double* x, double* out, std::size_t n) {
    map_arrays(out, n, [](auto v) { return exp(v); }, x);
}

void log_array(const double* x, double* out, std::size_t n) {
    map_arrays(out, n, [](auto v) { return log(v); }, x);
}

void tanh_array(const double* x, double* out, std::size_t n) {
    map_arrays(out, n, [](auto v) { return tanh(v); }, x);
}

constexpr MathKernels kMathKernels{&exp_array, &log_array, &tanh_array};

}  // namespace

template <>
const MathKernels& MathKernels::build<Isa::MOSSWICK_ISA>() {
    return kMathKernels;
}

}  // namespace mosswick::vecmath
