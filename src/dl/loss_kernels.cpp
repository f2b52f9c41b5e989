// The loss terms, each written once for a lone pair and for a vector of pairs, in double
// precision in the order written; log is the C library's (core/vector_math.hpp).
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/simd.hpp"
#include "core/vector_math.hpp"
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
        if (vecmath::all_lanes(label)) {
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
        const V log_q = vecmath::all_lanes(skipped) ? simd::splat<V>(-1.0) : vecmath::log(q);
        return -(t * (skipped ? simd::splat<V>(-1.0) : log_q));
    }
};

// A partial last vector is filled with zeros.
template <class Loss>
void terms(const double* p, const double* t, double* out, std::size_t n) {
    if constexpr (vecmath::kVectorised) {
        using V = vecmath::Doubles;
        constexpr std::size_t kWidth = vecmath::kWidth;
        std::size_t i = 0;
        for (; i + kWidth <= n; i += kWidth) {
            simd::store(out + i, Loss::term(simd::load<V>(p + i), simd::load<V>(t + i)));
        }
        if (i < n) {
            double part_p[kWidth] = {};
            double part_t[kWidth] = {};
            std::memcpy(part_p, p + i, (n - i) * sizeof(double));
            std::memcpy(part_t, t + i, (n - i) * sizeof(double));
            simd::store(part_p, Loss::term(simd::load<V>(part_p), simd::load<V>(part_t)));
            std::memcpy(out + i, part_p, (n - i) * sizeof(double));
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = Loss::term(p[i], t[i]);
        }
    }
}

constexpr LossKernels kLossKernels{&terms<SquaredError>, &terms<AbsoluteError>, &terms<BinaryCrossEntropy>,
                                   &terms<CategoricalCrossEntropy>};

}  // namespace

template <>
const LossKernels& LossKernels::build<Isa::MOSSWICK_ISA>() {
    return kLossKernels;
}

}  // namespace mosswick::dl
