// The activations and their derivatives, one row each, in the order the module
// registers them: the name, the parameters after x (with their defaults), the C
// library function the formula calls (none, exp or tanh) and the documentation
// ("" for none). The enum, the kernel table, the routines and the module's rows
// all follow from this list.
#pragma once

#include <cstddef>

#define MOSSWICK_ACTIVATIONS(X)                                                                \
    X(relu, "", none, "")                                                                      \
    X(relu_derivative, "", none, "")                                                           \
    X(leaky_relu, ", alpha=0.01", none,                                                        \
      "Leaky ReLU: avoids the \"dead neuron\" problem where a standard ReLU\n"                 \
      "permanently zeroes out a unit whose input never goes positive again.")                  \
    X(leaky_relu_derivative, ", alpha=0.01", none, "")                                         \
    X(elu, ", alpha=1.0", exp,                                                                 \
      "ELU: smooth for x < 0 (unlike Leaky ReLU's hard kink), which can speed\n"               \
      "up convergence by keeping mean activations closer to zero.")                            \
    X(elu_derivative, ", alpha=1.0", exp, "")                                                  \
    X(gelu, "", tanh,                                                                          \
      "GELU (tanh approximation) \u2014 the activation used in BERT/GPT-style\n"               \
      "transformers. Smoother than ReLU everywhere, which matters for\n"                       \
      "transformer training stability.")                                                       \
    X(silu, "", exp,                                                                           \
      "Swish / SiLU: x * sigmoid(x). Used in EfficientNet and several modern\n"                \
      "architectures; unlike ReLU, it's non-monotonic and smooth everywhere.")                 \
    X(silu_derivative, "", exp, "")                                                            \
    X(sigmoid, "", exp, "")                                                                    \
    X(sigmoid_derivative, "", exp, "")                                                         \
    X(tanh, "", tanh, "")                                                                      \
    X(tanh_derivative, "", tanh, "")

#define MOSSWICK_ACTIVATION_NAME(name, ...) name,
#define MOSSWICK_ACTIVATION_ONE(...) +1

namespace mosswick::dl {

enum class Activation { MOSSWICK_ACTIVATIONS(MOSSWICK_ACTIVATION_NAME) };

inline constexpr std::size_t kActivations = 0 MOSSWICK_ACTIVATIONS(MOSSWICK_ACTIVATION_ONE);

}  // namespace mosswick::dl
