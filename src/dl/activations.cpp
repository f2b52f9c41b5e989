// The activations: one element-wise loop (dl/elementwise.hpp) over the formulas of
// dl/activation_kernels.cpp, in the build that evaluates the C library function the
// formula calls (vecmath/vector_math_probe.hpp).
#include "dl/activations.hpp"

#include <optional>

#include "dl/activation_kernels.hpp"
#include "dl/elementwise.hpp"
#include "vecmath/vector_math_probe.hpp"

namespace mosswick::dl {

namespace {

// The list's library column.
constexpr std::optional<vecmath::Function> calls_none;
constexpr std::optional<vecmath::Function> calls_exp = vecmath::Function::exp;
constexpr std::optional<vecmath::Function> calls_tanh = vecmath::Function::tanh;

// The C library function each formula calls, if any, in the order of Activation.
#define MOSSWICK_ACTIVATION_CALLS(name, parameters, library, doc) calls_##library,
constexpr std::optional<vecmath::Function> kCalls[] = {MOSSWICK_ACTIVATIONS(MOSSWICK_ACTIVATION_CALLS)};
#undef MOSSWICK_ACTIVATION_CALLS

}  // namespace

NewArray<1> activate(Activation a, Vector x, double alpha) {
    const std::optional<vecmath::Function> f = kCalls[static_cast<std::size_t>(a)];
    const ActivationKernels& kernels = f ? vecmath::kernels_for<ActivationKernels>(*f) : dispatch<ActivationKernels>();
    const ActivationKernels::Map map = kernels.map[static_cast<std::size_t>(a)];
    return map_elements(x, [&](const double* in, double* out, std::size_t n) { map(in, out, n, alpha); });
}

}  // namespace mosswick::dl
