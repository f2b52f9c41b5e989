#include <algorithm>

#include "core/errors.hpp"
#include "ml/elimination.hpp"
#include "ml/linear_algebra.hpp"

namespace mosswick::ml {

// Gauss-Jordan elimination on m beside the identity I: step c divides row c of both by the
// pivot, then subtracts f = m[r][c] times it from every other row r. Column c of m is not read
// again once its step is done, so m changes right of it only; I changes in full.
NestedList<double> matrix_inverse(Rows matrix) {
    Elimination e(matrix);
    SquareMatrix& m = e.matrix();
    const std::size_t n = e.size();
    SquareMatrix inverse = SquareMatrix::identity(n);
    constexpr std::size_t K = kStepsPerBlock;
    double pivots[K];
    const double* right_rows[K];
    const double* inverse_rows[K];
    for (std::size_t first = 0; first < n; first += K) {
        const std::size_t end = std::min(n, first + K);
        const std::size_t right = first + K;  // the columns right of the block, padding included
        const std::size_t steps = end - first;
        for (std::size_t c = first; c < end; ++c) {
            if (e.choose_pivot(c, first, &inverse) == Elimination::Pivot::singular) {
                throw ValueError("Matrix is singular and cannot be inverted.");
            }
            const double pivot = m.row(c)[c];
            pivots[c - first] = pivot;
            e.pacer.add(n * K);
            // The whole width of the block, although only its columns right of c are still
            // live: one vector instead of a few scalars, and nothing reads the others again.
            e.kernels.divide(m.row(c) + first, pivot, K);
            const double* pivot_row = m.row(c) + first;
            for (std::size_t r = 0; r < n; ++r) {
                if (r != c) {
                    double* fr = e.f(r) + (c - first);
                    *fr = m.row(r)[c];
                    e.kernels.subtract_scaled(m.row(r) + first, &pivot_row, fr, 1, K);
                }
            }
        }

        // The block's steps on the columns right of it and on the inverse.
        const std::size_t width = m.width() - right;
        auto apply = [&](std::size_t r, std::size_t from, std::size_t to) {
            e.pacer.add((to - from) * (width + inverse.width()));
            e.kernels.subtract_scaled(m.row(r) + right, right_rows + from, e.f(r) + from, to - from, width);
            e.kernels.subtract_scaled(inverse.row(r), inverse_rows + from, e.f(r) + from, to - from,
                                      inverse.width());
        };
        // Each pivot row as the other rows subtract it: the steps before its own, then its division.
        for (std::size_t s = 0; s < steps; ++s) {
            const std::size_t c = first + s;
            right_rows[s] = m.row(c) + right;
            inverse_rows[s] = inverse.row(c);
            apply(c, 0, s);
            e.kernels.divide(m.row(c) + right, pivots[s], width);
            e.kernels.divide(inverse.row(c), pivots[s], inverse.width());
        }
        for (std::size_t r = 0; r < n; ++r) {
            if (r < first || r >= end) {
                apply(r, 0, steps);
            }
        }
        // The pivot rows' steps after their own, top to bottom, so that each reads the later
        // pivot rows before they change.
        for (std::size_t s = 0; s + 1 < steps; ++s) {
            apply(first + s, s + 1, steps);
        }
    }
    return inverse.to_row_major();
}

}  // namespace mosswick::ml
