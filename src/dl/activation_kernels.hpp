// The activation formulas over contiguous elements, one build per instruction set;
// activations.cpp picks the build with vecmath::kernels_for (vecmath/vector_math_probe.hpp).
#pragma once

#include <cstddef>

#include "core/isa.hpp"
#include "dl/activation_list.hpp"

namespace mosswick::dl {

struct ActivationKernels {
    // out[i] = the formula at x[i] (with the scalar parameter alpha) for i < n.
    using Map = void (*)(const double* x, double* out, std::size_t n, double alpha);
    Map map[kActivations];

    template <Isa>
    static const ActivationKernels& build();
};

}  // namespace mosswick::dl
