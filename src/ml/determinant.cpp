#include <algorithm>

#include "ml/elimination.hpp"
#include "ml/linear_algebra.hpp"

namespace mosswick::ml {

// Gaussian elimination: step c subtracts f = m[r][c] / pivot times the pivot row from every row r
// below it. Column c is not read again once its step is done, so only the columns right of it change.
double determinant(Rows matrix) {
    Elimination e(matrix);
    SquareMatrix& m = e.matrix();
    const std::size_t n = e.size();
    if (n == 1) {
        return m.row(0)[0];
    }
    constexpr std::size_t K = kStepsPerBlock;
    const double* pivot_rows[K];
    double d = 1.0;
    for (std::size_t first = 0; first < n; first += K) {
        const std::size_t end = std::min(n, first + K);
        const std::size_t right = first + K;  // the columns right of the block, padding included
        for (std::size_t c = first; c < end; ++c) {
            const Elimination::Pivot chosen = e.choose_pivot(c, first);
            if (chosen == Elimination::Pivot::singular) {
                return 0.0;
            }
            if (chosen == Elimination::Pivot::swapped) {
                d = -d;
            }
            const double pivot = m.row(c)[c];
            e.pacer.add((n - c) * K);
            // The whole width of the block, although only its columns right of c are still
            // live: one vector instead of a few scalars, and nothing reads the others again.
            const double* pivot_row = m.row(c) + first;
            for (std::size_t r = c + 1; r < n; ++r) {
                double* fr = e.f(r) + (c - first);
                *fr = m.row(r)[c] / pivot;
                e.kernels.subtract_scaled(m.row(r) + first, &pivot_row, fr, 1, K);
            }
            d = d * pivot;
        }
        // The columns right of the block, top to bottom: a pivot row is final once the steps
        // before its own are applied, before any row below reads it.
        for (std::size_t c = first; c < end; ++c) {
            pivot_rows[c - first] = m.row(c) + right;
        }
        for (std::size_t r = first + 1; r < n; ++r) {
            e.pacer.add(K * m.width());
            e.kernels.subtract_scaled(m.row(r) + right, pivot_rows, e.f(r), std::min(r, end) - first,
                                      m.width() - right);
        }
    }
    return d;
}

}  // namespace mosswick::ml
