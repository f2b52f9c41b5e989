// What determinant and matrix_inverse share: the private copy of the matrix, the pivot
// choice and the row swaps, and the multipliers of the current block of steps (see
// kStepsPerBlock), which travel with their rows when rows are swapped.
#pragma once

#include <cstddef>
#include <vector>

#include "core/interrupt.hpp"
#include "ml/row_kernels.hpp"
#include "ml/rows.hpp"
#include "ml/square_matrix.hpp"

namespace mosswick::ml {

class Elimination {
public:
    // A copy of the rows; ValueError "Matrix must be square." unless there is at least
    // one and each is as long as there are rows.
    explicit Elimination(const Rows& matrix);

    enum class Pivot { singular, in_place, swapped };

    // Step c of the block that starts at step `first`: chooses the pivot row of column c.
    // A pivot below the singular bound is reported and nothing changes; otherwise that
    // row is swapped into row c (in `beside` too, when given), with the multipliers of
    // the block's earlier steps.
    Pivot choose_pivot(std::size_t c, std::size_t first, SquareMatrix* beside = nullptr);

    SquareMatrix& matrix() { return m_; }
    std::size_t size() const { return m_.size(); }

    // f(r)[s]: the multiplier of row r at step s of the current block.
    double* f(std::size_t r) { return multipliers_.data() + r * kStepsPerBlock; }

    const RowKernels& kernels;
    interrupt::Pacer pacer;

private:
    SquareMatrix m_;
    std::vector<double> multipliers_;
};

}  // namespace mosswick::ml
