// Optimizer steps and gradient clipping: in-place updates of caller-owned,
// contiguous 1-D float64 arrays. No state is kept between calls.
#pragma once

#include <cstdint>

#include "core/ndview.hpp"

namespace mosswick::dl {

// velocity = momentum * velocity + grads; params = params - lr * velocity.
void sgd_momentum_step(MutableVector params, Vector grads, MutableVector velocity, double lr, double momentum);

// One Adam step with bias correction for the 1-indexed step t (t <= 0 allowed).
void adam_step(MutableVector params, Vector grads, MutableVector m, MutableVector v, double lr, double beta1,
               double beta2, double eps, std::int32_t t);

// Scales grads by max_norm / norm when its L2 norm exceeds max_norm; returns the norm before.
double clip_grad_norm(MutableVector grads, double max_norm);

}  // namespace mosswick::dl
