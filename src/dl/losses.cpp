// One frame for the four losses: the length check, then the sum of term(p, t)
// over equal indices, left to right from -0.0 on the calling thread, or on the
// pool from the parallel threshold up when both arrays are contiguous.
#include "dl/losses.hpp"

#include <cmath>
#include <cstddef>

#include "core/errors.hpp"
#include "core/pool.hpp"

namespace mosswick::dl {

namespace {

template <class Term>
double sum_of_terms(Vector predictions, Vector targets, Term term) {
    const std::size_t n = predictions.size();
    if (n == 0 || n != targets.size()) {
        throw ValueError("Predictions and targets must have matching non-zero lengths.");
    }
    if (pool::parallel(n) && predictions.contiguous() && targets.contiguous()) {
        const double* p = predictions.data();
        const double* t = targets.data();
        return pool::sum(n, [&](std::size_t i) { return term(p[i], t[i]); });
    }
    double s = -0.0;
    for (std::size_t i = 0; i < n; ++i) {
        s += term(predictions[i], targets[i]);
    }
    return s;
}

// Keeps a probability inside the logarithm's finite range; NaN stays NaN.
double clamp_probability(double p) {
    constexpr double kLow = 1e-15;
    constexpr double kHigh = 0.999999999999999;  // the double nearest to 1 - 1e-15
    if (p < kLow) {
        return kLow;
    }
    return p > kHigh ? kHigh : p;
}

}  // namespace

double mse_loss(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, [](double p, double t) { return (p - t) * (p - t); });
    return s / static_cast<double>(predictions.size());
}

double mae_loss(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, [](double p, double t) { return std::fabs(p - t); });
    return s / static_cast<double>(predictions.size());
}

// term = t * ln(q) + (1 - t) * ln(1 - q). The clamped q keeps both logarithms finite
// and negative, so for a target of exactly 0 or 1 one product is a zero that leaves
// the other unchanged: one logarithm gives the same bits as both. Labels arrive in
// no predictable order, so neither the test nor the argument branches on which one
// t is: t * (1 - t) is zero exactly for t = 0 and t = 1, and (1 - t) + (2t - 1) * q
// is exactly q for t = 1 and 1 - q for t = 0.
double bce_loss(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, [](double p, double t) {
        const double q = clamp_probability(p);
        if (t * (1.0 - t) == 0.0) {
            return std::log((1.0 - t) + ((t + t) - 1.0) * q);
        }
        return t * std::log(q) + (1.0 - t) * std::log(1.0 - q);
    });
    return (-s) / static_cast<double>(predictions.size());
}

// term = -(t * ln(q)): adding it is subtracting t * ln(q). For a zero target and a
// number q, ln(q) is finite and negative, so the product is the zero t * -1.0 gives.
double categorical_cross_entropy(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, [](double p, double t) {
        const double q = clamp_probability(p);
        const double log_q = t == 0.0 && q == q ? -1.0 : std::log(q);
        return -(t * log_q);
    });
    return s / static_cast<double>(predictions.size());
}

}  // namespace mosswick::dl
