// The array forms of exp, log and tanh, one build per instruction set
// (vecmath/vector_math_kernels.cpp); vecmath/vector_math_probe.hpp says which build to use.
#pragma once

#include <cstddef>

#include "core/isa.hpp"

namespace mosswick::vecmath {

enum class Function { exp, log, tanh };

// out[i] = f(x[i]) for i < n (in place allowed): the vector versions where the build
// has them, the library otherwise. For the probe and the checks of the vector versions.
struct MathKernels {
    using Map = void (*)(const double* x, double* out, std::size_t n);
    Map exp;
    Map log;
    Map tanh;

    Map operator[](Function f) const { return f == Function::exp ? exp : f == Function::log ? log : tanh; }

    template <Isa>
    static const MathKernels& build();
};

}  // namespace mosswick::vecmath
