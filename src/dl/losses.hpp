// Losses: a pair of 1-D float64 arrays, predictions and targets, reduced to the
// mean of a per-element term. Any stride is accepted.
#pragma once

#include "core/ndview.hpp"

namespace mosswick::dl {

double mse_loss(Vector predictions, Vector targets);
double mae_loss(Vector predictions, Vector targets);
double bce_loss(Vector predictions, Vector targets);
double categorical_cross_entropy(Vector predictions, Vector targets);

}  // namespace mosswick::dl
