// The sum of squares under a gradient norm and the scaling by it, one build per instruction set;
// dispatch<NormKernels>() gives the running processor's.
#pragma once

#include <cstddef>

#include "core/isa.hpp"

namespace mosswick::dl {

// Every build adds in the same lanes, whatever its vector width, so all give the same bits.
inline constexpr std::size_t kSquareLanes = 32;

struct NormKernels {
    // The sum of x[i] * x[i] over i < n: lane k adds the terms of indices k, k + kSquareLanes,
    // k + 2 * kSquareLanes, ... from -0.0 in that order, then each lane of the upper half is
    // added to the one half the lanes below it, halving until lane 0 holds the sum.
    using SumOfSquares = double (*)(const double* x, std::size_t n);
    SumOfSquares sum_of_squares;
    // x[i] = factor * x[i] for i < n.
    using Scale = void (*)(double* x, std::size_t n, double factor);
    Scale scale;

    template <Isa>
    static const NormKernels& build();
};

}  // namespace mosswick::dl
