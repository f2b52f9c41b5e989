// The thirteen activations: one element-wise loop (dl/elementwise.hpp) over the
// formulas of dl/activation_kernels.cpp, in the build that evaluates the C library
// function the formula calls (vecmath/vector_math_probe.hpp).
#include "dl/activations.hpp"

#include <optional>

#include "vecmath/vector_math_probe.hpp"
#include "dl/activation_kernels.hpp"
#include "dl/elementwise.hpp"

namespace mosswick::dl {

namespace {

// The C library function the formula calls, if any.
std::optional<vecmath::Function> calls(Activation a) {
    switch (a) {
        case Activation::elu:
        case Activation::elu_derivative:
        case Activation::silu:
        case Activation::silu_derivative:
        case Activation::sigmoid:
        case Activation::sigmoid_derivative:
            return vecmath::Function::exp;
        case Activation::gelu:
        case Activation::tanh:
        case Activation::tanh_derivative:
            return vecmath::Function::tanh;
        default:
            return std::nullopt;
    }
}

NewArray<1> apply(Activation a, Vector x, double alpha = 0.0) {
    const std::optional<vecmath::Function> f = calls(a);
    const ActivationKernels& kernels = f ? vecmath::kernels_for<ActivationKernels>(*f) : dispatch<ActivationKernels>();
    const ActivationKernels::Map map = kernels.map[static_cast<std::size_t>(a)];
    return map_elements(x, [&](const double* in, double* out, std::size_t n) { map(in, out, n, alpha); });
}

}  // namespace

NewArray<1> relu(Vector x) {
    return apply(Activation::relu, x);
}

NewArray<1> relu_derivative(Vector x) {
    return apply(Activation::relu_derivative, x);
}

NewArray<1> leaky_relu(Vector x, double alpha) {
    return apply(Activation::leaky_relu, x, alpha);
}

NewArray<1> leaky_relu_derivative(Vector x, double alpha) {
    return apply(Activation::leaky_relu_derivative, x, alpha);
}

NewArray<1> elu(Vector x, double alpha) {
    return apply(Activation::elu, x, alpha);
}

NewArray<1> elu_derivative(Vector x, double alpha) {
    return apply(Activation::elu_derivative, x, alpha);
}

NewArray<1> gelu(Vector x) {
    return apply(Activation::gelu, x);
}

NewArray<1> silu(Vector x) {
    return apply(Activation::silu, x);
}

NewArray<1> silu_derivative(Vector x) {
    return apply(Activation::silu_derivative, x);
}

NewArray<1> sigmoid(Vector x) {
    return apply(Activation::sigmoid, x);
}

NewArray<1> sigmoid_derivative(Vector x) {
    return apply(Activation::sigmoid_derivative, x);
}

NewArray<1> tanh(Vector x) {
    return apply(Activation::tanh, x);
}

NewArray<1> tanh_derivative(Vector x) {
    return apply(Activation::tanh_derivative, x);
}

}  // namespace mosswick::dl
