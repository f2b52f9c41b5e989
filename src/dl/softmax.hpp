// Row-wise softmax over a C-contiguous (rows, classes) float64 matrix, alone or
// fused with the cross-entropy against integer class targets.
#pragma once

#include <utility>

#include "core/ndview.hpp"

namespace mosswick::dl {

NewArray<2> softmax(Matrix x);

// (mean loss over the rows, gradient of that mean with respect to the logits).
std::pair<double, NewArray<2>> softmax_cross_entropy(Matrix logits, Labels targets);

}  // namespace mosswick::dl
