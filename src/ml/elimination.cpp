#include "ml/elimination.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "core/errors.hpp"

namespace mosswick::ml {

namespace {

SquareMatrix square_or_refuse(const Rows& rows) {
    std::optional<SquareMatrix> m = to_square_matrix(rows);
    if (!m) {
        throw ValueError("Matrix must be square.");
    }
    return std::move(*m);
}

}  // namespace

Elimination::Elimination(const Rows& matrix)
    : kernels(dispatch<RowKernels>()),
      m_(square_or_refuse(matrix)),
      multipliers_(m_.size() * kStepsPerBlock) {}

Elimination::Pivot Elimination::choose_pivot(std::size_t c, std::size_t first, SquareMatrix* beside) {
    const std::size_t p = m_.pivot_row(c);
    if (std::abs(m_.row(p)[c]) < kSingularPivot) {
        return Pivot::singular;
    }
    if (p == c) {
        return Pivot::in_place;
    }
    m_.swap_rows(c, p);
    if (beside != nullptr) {
        beside->swap_rows(c, p);
    }
    std::swap_ranges(f(c), f(c) + (c - first), f(p));
    return Pivot::swapped;
}

}  // namespace mosswick::ml
