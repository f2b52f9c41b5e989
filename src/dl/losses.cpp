// One frame for the four losses: the length check, then the sum of the terms of
// dl/loss_kernels.cpp (in the build that evaluates log as chosen by
// vecmath/vector_math_probe.hpp) over equal indices, left to right from -0.0 on the
// calling thread, or on the pool from the parallel threshold up when both arrays are
// contiguous. Strided views are read in logical order, in blocks copied to the stack.
#include "dl/losses.hpp"

#include <algorithm>
#include <cstddef>

#include "core/errors.hpp"
#include "core/pool.hpp"
#include "vecmath/vector_math_probe.hpp"
#include "dl/loss_kernels.hpp"

namespace mosswick::dl {

namespace {

double sum_of_terms(Vector predictions, Vector targets, LossKernels::Terms terms) {
    const std::size_t n = predictions.size();
    if (n == 0 || n != targets.size()) {
        throw ValueError("Predictions and targets must have matching non-zero lengths.");
    }
    const bool contiguous = predictions.contiguous() && targets.contiguous();
    if (pool::parallel(n) && contiguous) {
        const double* p = predictions.data();
        const double* t = targets.data();
        return pool::sum_filled(n, [&](std::size_t begin, std::size_t end, double* out) {
            terms(p + begin, t + begin, out, end - begin);
        });
    }
    constexpr std::size_t kBlock = pool::kFillBlock;
    double p[kBlock];
    double t[kBlock];
    double term[kBlock];
    double s = -0.0;
    for (std::size_t i = 0; i < n; i += kBlock) {
        const std::size_t count = std::min(kBlock, n - i);
        if (contiguous) {
            terms(predictions.data() + i, targets.data() + i, term, count);
        } else {
            for (std::size_t j = 0; j < count; ++j) {
                p[j] = predictions[i + j];
                t[j] = targets[i + j];
            }
            terms(p, t, term, count);
        }
        for (std::size_t j = 0; j < count; ++j) {
            s += term[j];
        }
    }
    return s;
}

const LossKernels& kernels(vecmath::Function f) {
    return vecmath::kernels_for<LossKernels>(f);
}

}  // namespace

double mse_loss(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, dispatch<LossKernels>().mse);
    return s / static_cast<double>(predictions.size());
}

double mae_loss(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, dispatch<LossKernels>().mae);
    return s / static_cast<double>(predictions.size());
}

double bce_loss(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, kernels(vecmath::Function::log).bce);
    return (-s) / static_cast<double>(predictions.size());
}

double categorical_cross_entropy(Vector predictions, Vector targets) {
    const double s = sum_of_terms(predictions, targets, kernels(vecmath::Function::log).categorical_cross_entropy);
    return s / static_cast<double>(predictions.size());
}

}  // namespace mosswick::dl
