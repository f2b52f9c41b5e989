// The per-element terms of the four losses, one build per instruction set; losses.cpp
// picks the build with vecmath::kernels_for (vecmath/vector_math_probe.hpp).
#pragma once

#include <cstddef>

#include "core/isa.hpp"

namespace mosswick::dl {

struct LossKernels {
    // out[i] = term(p[i], t[i]) for i < n.
    using Terms = void (*)(const double* p, const double* t, double* out, std::size_t n);
    Terms mse;
    Terms mae;
    Terms bce;
    Terms categorical_cross_entropy;

    template <Isa>
    static const LossKernels& build();
};

}  // namespace mosswick::dl
