// The formulas, evaluated in double precision in the order written; exp and tanh
// are the C library's. "x > 0.0" is false for NaN and for both zeros.
#include "dl/activations.hpp"

#include <cmath>

#include "dl/elementwise.hpp"

namespace mosswick::dl {

namespace {

double logistic(double x) {
    return 1.0 / (std::exp(-x) + 1.0);
}

}  // namespace

NewArray<1> relu(Vector x) {
    return map_elements(x, [](double v) { return v > 0.0 ? v : 0.0; });
}

NewArray<1> relu_derivative(Vector x) {
    return map_elements(x, [](double v) { return v > 0.0 ? 1.0 : 0.0; });
}

NewArray<1> leaky_relu(Vector x, double alpha) {
    return map_elements(x, [alpha](double v) { return v > 0.0 ? v : v * alpha; });
}

NewArray<1> leaky_relu_derivative(Vector x, double alpha) {
    return map_elements(x, [alpha](double v) { return v > 0.0 ? 1.0 : alpha; });
}

NewArray<1> elu(Vector x, double alpha) {
    return map_elements(x, [alpha](double v) { return v > 0.0 ? v : (std::exp(v) + -1.0) * alpha; });
}

NewArray<1> elu_derivative(Vector x, double alpha) {
    return map_elements(x, [alpha](double v) { return v > 0.0 ? 1.0 : std::exp(v) * alpha; });
}

NewArray<1> gelu(Vector x) {
    return map_elements(x, [](double v) {
        const double u = (v + (v * (v * v)) * 0.044715) * 0.7978845608028654;
        return (v * 0.5) * (std::tanh(u) + 1.0);
    });
}

NewArray<1> silu(Vector x) {
    return map_elements(x, [](double v) { return v / (std::exp(-v) + 1.0); });
}

NewArray<1> silu_derivative(Vector x) {
    return map_elements(x, [](double v) {
        const double s = logistic(v);
        return s + (v * s) * (1.0 - s);
    });
}

NewArray<1> sigmoid(Vector x) {
    return map_elements(x, logistic);
}

NewArray<1> sigmoid_derivative(Vector x) {
    return map_elements(x, [](double v) {
        const double s = logistic(v);
        return s * (1.0 - s);
    });
}

NewArray<1> tanh(Vector x) {
    return map_elements(x, [](double v) { return std::tanh(v); });
}

NewArray<1> tanh_derivative(Vector x) {
    return map_elements(x, [](double v) {
        const double t = std::tanh(v);
        return 1.0 - t * t;
    });
}

}  // namespace mosswick::dl
