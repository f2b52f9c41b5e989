// Every row of one matrix compared with every row of another, each pair over
// the common prefix of its two rows. Entry (i, j) compares a_i with b_j; when
// either matrix has no rows the result has none either.
#pragma once

#include "core/nested.hpp"
#include "ml/rows.hpp"

namespace mosswick::ml {

// Cosine similarity: dot / (sqrt(sx) * sqrt(sy)), or 0.0 when either sum of squares is 0.0.
NestedList<double> pairwise_cosine(Rows matrix_a, Rows matrix_b);

// L1 distance: the sum of |x[k] - y[k]| from -0.0.
NestedList<double> pairwise_manhattan(Rows matrix_a, Rows matrix_b);

}  // namespace mosswick::ml
