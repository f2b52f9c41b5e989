// The loss terms, each written once for a lone pair and for a vector of pairs, in double
// precision in the order written; log is the C library's (vecmath/vector_math.hpp).
#include <cmath>
#include <cstddef>

#include "core/simd.hpp"
#include "vecmath/vector_math.hpp"
#include "dl/loss_kernels.hpp"

namespace mosswick::dl {
namespace {

// Both conditions, lane by lane.
template <class Mask>
Mask both(Mask a, Mask b) {
    if constexpr (sizeof(Mask) == sizeof(bool)) {
        return a && b;
    } else {
        return a & b;
    }
}

// Keeps a probability inside the logarithm's finite range; NaN stays NaN.
template <class V>
V clamp_probability(V p) {
    const V low = simd::splat<V>(1e-15);
    const V high = simd::splat<V>(0.999999999999999);  // the double nearest to 1 - 1e-15
    return p < low ? low : p > high ? high : p;
}

struct SquaredError {
    template <class V>
    static V term(V p, V t) {
        return (p - t) * (p - t);
    }
};

struct AbsoluteError {
    template <class V>
    static V term(V p, V t) {
        const V d = p - t;
        if constexpr (sizeof(V) == sizeof(double)) {
            return std::fabs(d);
        } else {
            return reinterpret_cast<V>(reinterpret_cast<vecmath::UWords>(d) & 0x7fffffffffffffffULL);
        }
    }
};

// term = t * ln(q) + (1 - t) * ln(1 - q). The clamped q keeps both logarithms finite
// and negative, so for a target of exactly 0 or 1 one product is a zero that leaves
// the other unchanged: one logarithm gives the same bits as both. Labels arrive in
// no predictable order, so neither the test nor the argument branches on which one
// t is: t * (1 - t) is zero exactly for t = 0 and t = 1, and (1 - t) + (2t - 1) * q
// is exactly q for t = 1 and 1 - q for t = 0. A vector with other targets takes both
// logarithms in every lane and keeps, per lane, what a lone pair would give.
struct BinaryCrossEntropy {
    template <class V>
    static V term(V p, V t) {
        const V q = clamp_probability(p);
        const auto label = t * (1.0 - t) == simd::splat<V>(0.0);
        const V argument = (1.0 - t) + ((t + t) - 1.0) * q;
        if (simd::all_lanes(label)) {
            return vecmath::log(argument);
        }
        const V log_q = vecmath::log(label ? argument : q);
        const V log_rest = vecmath::log(1.0 - q);
        return label ? log_q : t * log_q + (1.0 - t) * log_rest;
    }
};

// term = -(t * ln(q)): adding it is subtracting t * ln(q). For a zero target and a
// number q, ln(q) is finite and negative, so the product is the zero t * -1.0 gives.
struct CategoricalCrossEntropy {
    template <class V>
    static V term(V p, V t) {
        const V q = clamp_probability(p);
        const auto skipped = both(t == simd::splat<V>(0.0), q == q);
        const V log_q = simd::all_lanes(skipped) ? simd::splat<V>(-1.0) : vecmath::log(q);
        return -(t * (skipped ? simd::splat<V>(-1.0) : log_q));
    }
};

template <class Loss>
void terms(const double* p, const double* t, double* out, std::size_t n) {
    vecmath::map_arrays(out, n, [](auto pv, auto tv) { return Loss::term(pv, tv); }, p, t);
}

constexpr LossKernels kLossKernels{&terms<SquaredError>, &terms<AbsoluteError>, &terms<BinaryCrossEntropy>,
                                   &terms<CategoricalCrossEntropy>};

}  // namespace

template <>
const LossKernels& LossKernels::build<Isa::MOSSWICK_ISA>() {
    return kLossKernels;
}

}  // namespace mosswick::dl
