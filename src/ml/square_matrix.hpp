// A private n x n copy of a matrix for elimination, with partial pivoting.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "core/buffer.hpp"
#include "core/nested.hpp"
#include "ml/rows.hpp"

namespace mosswick::ml {

// Pivots whose magnitude is below this fixed bound count as zero, whatever the matrix's scale.
inline constexpr double kSingularPivot = 1e-12;

// Elimination takes its pivot steps in blocks of this many: a block's steps are first carried
// out on the block's own columns, which decide its pivots and multipliers, and then applied to
// the columns right of it, all of them per pass over a row. Every entry still receives the
// same operations in the same order as it would step by step.
inline constexpr std::size_t kStepsPerBlock = 8;

class SquareMatrix {
public:
    static SquareMatrix identity(std::size_t n);

    std::size_t size() const { return rows_.size(); }
    // The stored length of a row: n rounded up to whole blocks. The columns past n start at
    // zero, take part in whole-block row operations and are never read back.
    std::size_t width() const { return width_; }
    double* row(std::size_t r) { return rows_[r]; }
    const double* row(std::size_t r) const { return rows_[r]; }

    // Swaps two rows by exchanging their addresses, not their entries.
    void swap_rows(std::size_t a, std::size_t b) { std::swap(rows_[a], rows_[b]); }

    // The row r >= c with the largest |m[r][c]|: a later row wins only when strictly larger,
    // so ties keep the topmost row and a NaN neither wins nor loses its place.
    std::size_t pivot_row(std::size_t c) const;

    NestedList<double> to_row_major() const;

private:
    explicit SquareMatrix(std::size_t n);

    std::size_t width_;
    AlignedBuffer<double> storage_;
    std::vector<double*> rows_;

    friend std::optional<SquareMatrix> to_square_matrix(const Rows& rows);
};

// A copy of the rows when there is at least one and each is as long as there are rows.
std::optional<SquareMatrix> to_square_matrix(const Rows& rows);

}  // namespace mosswick::ml
