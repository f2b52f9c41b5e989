// Determinant and inverse of a square matrix given as n rows of n numbers, by
// elimination with partial pivoting on a private copy.
#pragma once

#include "core/nested.hpp"
#include "ml/rows.hpp"

namespace mosswick::ml {

// The product of the pivots, negated once per row swap; 0.0 as soon as a pivot is
// below the singular bound. A 1 x 1 matrix is its own determinant.
double determinant(Rows matrix);

// Gauss-Jordan elimination; a pivot below the singular bound raises ValueError.
NestedList<double> matrix_inverse(Rows matrix);

}  // namespace mosswick::ml
