// Activations and their derivatives (dl/activation_list.hpp), element by element over
// a 1-D float64 array. Derivatives take the pre-activation input x.
#pragma once

#include "core/ndview.hpp"
#include "dl/activation_list.hpp"

namespace mosswick::dl {

// A new array of activation a at every element of x; alpha is the formula's
// parameter where it has one.
NewArray<1> activate(Activation a, Vector x, double alpha);

// The routines the module registers: x alone, or x and alpha.
template <Activation A>
NewArray<1> activation(Vector x) {
    return activate(A, x, 0.0);
}

template <Activation A>
NewArray<1> activation_with_alpha(Vector x, double alpha) {
    return activate(A, x, alpha);
}

}  // namespace mosswick::dl
