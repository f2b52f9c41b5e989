#include <algorithm>
#include <cmath>
#include <vector>

#include "core/errors.hpp"
#include "core/interrupt.hpp"
#include "ml/linear_algebra.hpp"
#include "ml/row_kernels.hpp"
#include "ml/square_matrix.hpp"

namespace mosswick::ml {

// Gaussian elimination: step c subtracts f = m[r][c] / pivot times the pivot row from every row r
// below it. Column c is not read again once its step is done, so only the columns right of it change.
double determinant(Rows matrix) {
    std::optional<SquareMatrix> m = to_square_matrix(matrix);
    if (!m) {
        throw ValueError("Matrix must be square.");
    }
    const std::size_t n = m->size();
    if (n == 1) {
        return m->row(0)[0];
    }
    const RowKernels& kernels = dispatch<RowKernels>();
    constexpr std::size_t K = kStepsPerBlock;
    // f[r * K + s]: the multiplier of row r at step s of the current block.
    std::vector<double> multipliers(n * K);
    double* f = multipliers.data();
    const double* pivot_rows[K];
    double d = 1.0;
    interrupt::Pacer pacer;
    for (std::size_t first = 0; first < n; first += K) {
        const std::size_t end = std::min(n, first + K);
        const std::size_t right = first + K;  // the columns right of the block, padding included
        for (std::size_t c = first; c < end; ++c) {
            const std::size_t p = m->pivot_row(c);
            if (p != c) {
                m->swap_rows(c, p);
                std::swap_ranges(f + c * K, f + c * K + (c - first), f + p * K);
                d = -d;
            }
            const double pivot = m->row(c)[c];
            if (std::abs(pivot) < kSingularPivot) {
                return 0.0;
            }
            pacer.add((n - c) * K);
            // The whole width of the block, although only its columns right of c are still
            // live: one vector instead of a few scalars, and nothing reads the others again.
            const double* pivot_row = m->row(c) + first;
            for (std::size_t r = c + 1; r < n; ++r) {
                double* fr = f + r * K + (c - first);
                *fr = m->row(r)[c] / pivot;
                kernels.subtract_scaled(m->row(r) + first, &pivot_row, fr, 1, K);
            }
            d = d * pivot;
        }
        // The columns right of the block, top to bottom: a pivot row is final once the steps
        // before its own are applied, before any row below reads it.
        for (std::size_t c = first; c < end; ++c) {
            pivot_rows[c - first] = m->row(c) + right;
        }
        for (std::size_t r = first + 1; r < n; ++r) {
            pacer.add(K * m->width());
            kernels.subtract_scaled(m->row(r) + right, pivot_rows, f + r * K, std::min(r, end) - first,
                                    m->width() - right);
        }
    }
    return d;
}

}  // namespace mosswick::ml
