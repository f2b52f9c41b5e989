#include "ml/square_matrix.hpp"

#include <algorithm>
#include <cmath>

namespace mosswick::ml {

SquareMatrix::SquareMatrix(std::size_t n)
    : width_((n + kStepsPerBlock - 1) / kStepsPerBlock * kStepsPerBlock),
      storage_(AlignedBuffer<double>::zeros(n * width_)),
      rows_(n) {
    for (std::size_t r = 0; r < n; ++r) {
        rows_[r] = storage_.data() + r * width_;
    }
}

SquareMatrix SquareMatrix::identity(std::size_t n) {
    SquareMatrix m(n);
    for (std::size_t r = 0; r < n; ++r) {
        m.rows_[r][r] = 1.0;
    }
    return m;
}

std::size_t SquareMatrix::pivot_row(std::size_t c) const {
    std::size_t best = c;
    double largest = std::abs(rows_[c][c]);
    for (std::size_t r = c + 1; r < size(); ++r) {
        const double magnitude = std::abs(rows_[r][c]);
        if (magnitude > largest) {
            best = r;
            largest = magnitude;
        }
    }
    return best;
}

NestedList<double> SquareMatrix::to_row_major() const {
    NestedList<double> out = NestedList<double>::matrix(size(), size());
    for (std::size_t r = 0; r < size(); ++r) {
        std::copy(rows_[r], rows_[r] + size(), out.row(r));
    }
    return out;
}

std::optional<SquareMatrix> to_square_matrix(const Rows& rows) {
    const std::size_t n = rows.size();
    if (n == 0 || std::any_of(rows.begin(), rows.end(), [&](const std::vector<double>& row) { return row.size() != n; })) {
        return std::nullopt;
    }
    SquareMatrix m(n);
    for (std::size_t r = 0; r < n; ++r) {
        std::copy(rows[r].begin(), rows[r].end(), m.rows_[r]);
    }
    return m;
}

}  // namespace mosswick::ml
