// The activation formulas over contiguous elements, one build per instruction set;
// activations.cpp picks the build with vecmath::kernels_for (vecmath/vector_math_probe.hpp).
#pragma once

#include <cstddef>

#include "core/isa.hpp"

namespace mosswick::dl {

enum class Activation {
    relu,
    relu_derivative,
    leaky_relu,
    leaky_relu_derivative,
    elu,
    elu_derivative,
    gelu,
    silu,
    silu_derivative,
    sigmoid,
    sigmoid_derivative,
    tanh,
    tanh_derivative,
};
inline constexpr std::size_t kActivations = 13;

struct ActivationKernels {
    // out[i] = the formula at x[i] (with the scalar parameter alpha) for i < n.
    using Map = void (*)(const double* x, double* out, std::size_t n, double alpha);
    Map map[kActivations];

    template <Isa>
    static const ActivationKernels& build();
};

}  // namespace mosswick::dl
