// Activations and their derivatives, element by element over a 1-D float64 array.
// Derivatives take the pre-activation input x.
#pragma once

#include "core/ndview.hpp"

namespace mosswick::dl {

NewArray<1> relu(Vector x);
NewArray<1> relu_derivative(Vector x);
NewArray<1> leaky_relu(Vector x, double alpha);
NewArray<1> leaky_relu_derivative(Vector x, double alpha);
NewArray<1> elu(Vector x, double alpha);
NewArray<1> elu_derivative(Vector x, double alpha);
NewArray<1> gelu(Vector x);
NewArray<1> silu(Vector x);
NewArray<1> silu_derivative(Vector x);
NewArray<1> sigmoid(Vector x);
NewArray<1> sigmoid_derivative(Vector x);
NewArray<1> tanh(Vector x);
NewArray<1> tanh_derivative(Vector x);

}  // namespace mosswick::dl
