// Rows of matrix_b are laid out in panels so that one pass over a row of
// matrix_a produces a whole panel of entries, one per vector lane. Every entry
// is still its own left-to-right sum, so the panel path, the pair-by-pair path
// for panels of uneven rows and the parallel path all give the same values.
#include "ml/pairwise.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/buffer.hpp"
#include "core/interrupt.hpp"
#include "core/pool.hpp"
#include "ml/panels.hpp"
#include "ml/row_kernels.hpp"

namespace mosswick::ml {

namespace {

// at(i, m): the square root of x[0]*x[0] + ... + x[m-1]*x[m-1] of row i, added left to right
// from 0.0; exactly the norm that a pair with common length m takes. It is 0.0 exactly when
// the sum is.
class PrefixNorms {
public:
    explicit PrefixNorms(const Rows& rows) : offsets_(rows.size()) {
        std::size_t total = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            offsets_[i] = total;
            total += rows[i].size() + 1;
        }
        norms_ = AlignedBuffer<double>::uninitialized(total);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            double* out = norms_.data() + offsets_[i];
            double sum = 0.0;
            out[0] = sum;
            for (std::size_t k = 0; k < rows[i].size(); ++k) {
                sum += rows[i][k] * rows[i][k];
                out[k + 1] = sum;
            }
        }
        // A separate pass, so that the square roots vectorise.
        for (std::size_t j = 0; j < total; ++j) {
            norms_[j] = std::sqrt(norms_[j]);
        }
    }

    double at(std::size_t row, std::size_t m) const { return norms_[offsets_[row] + m]; }

private:
    std::vector<std::size_t> offsets_;
    AlignedBuffer<double> norms_;
};

// 0.0 when either norm is zero (a NaN norm is not: it propagates).
inline double similarity(double dot, double norm_x, double norm_y) {
    if (norm_x == 0.0 || norm_y == 0.0) {
        return 0.0;
    }
    return dot / (norm_x * norm_y);
}

class Cosine {
public:
    Cosine(const Rows& a, const Rows& b) : kernels_(dispatch<RowKernels>()), a_(a), b_(b) {}

    static PanelKernel kernel(const RowKernels& kernels) { return kernels.dot; }

    // Entries of rows i .. i + count - 1 for the panel, from the panel kernel's dot products.
    void finish(std::size_t i, std::size_t count, const Panel& panel, std::size_t m, const double* dots,
                NestedList<double>& out) const {
        double norm_y[kPanelWidth] = {};
        for (std::size_t l = 0; l < panel.rows; ++l) {
            norm_y[l] = b_.at(panel.first + l, m);
        }
        double norm_x[kTileRows];
        double* entries[kTileRows];
        for (std::size_t r = 0; r < count; ++r) {
            norm_x[r] = a_.at(i + r, m);
            entries[r] = out.row(i + r) + panel.first;
        }
        kernels_.cosine(dots, count, norm_x, norm_y, panel.rows, entries);
    }

    // One pair on its own, the three sums in one pass.
    static double pair(const std::vector<double>& x, const std::vector<double>& y) {
        const std::size_t m = std::min(x.size(), y.size());
        if (m == 0) {
            return 0.0;
        }
        double dot = 0.0;
        double sx = 0.0;
        double sy = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            dot += x[k] * y[k];
            sx += x[k] * x[k];
            sy += y[k] * y[k];
        }
        return similarity(dot, std::sqrt(sx), std::sqrt(sy));
    }

private:
    const RowKernels& kernels_;
    PrefixNorms a_;
    PrefixNorms b_;
};

class Manhattan {
public:
    Manhattan(const Rows&, const Rows&) {}

    static PanelKernel kernel(const RowKernels& kernels) { return kernels.absolute_difference; }

    void finish(std::size_t i, std::size_t count, const Panel& panel, std::size_t, const double* sums,
                NestedList<double>& out) const {
        for (std::size_t r = 0; r < count; ++r) {
            std::copy(sums + r * kPanelWidth, sums + r * kPanelWidth + panel.rows, out.row(i + r) + panel.first);
        }
    }

    static double pair(const std::vector<double>& x, const std::vector<double>& y) {
        const std::size_t m = std::min(x.size(), y.size());
        double sum = -0.0;
        for (std::size_t k = 0; k < m; ++k) {
            sum += std::abs(x[k] - y[k]);
        }
        return sum;
    }
};

template <class Metric>
NestedList<double> pairwise(const Rows& a, const Rows& b) {
    if (a.empty() || b.empty()) {
        return NestedList<double>::matrix(0, 0);  // [], not a list of empty rows
    }
    const Metric metric(a, b);
    const Panels panels(b);
    const PanelKernel kernel = Metric::kernel(dispatch<RowKernels>());
    NestedList<double> out = NestedList<double>::matrix(a.size(), b.size());
    // Output rows begin .. end - 1; consecutive rows of equal length share each pass over a panel.
    auto rows_of = [&](std::size_t begin, std::size_t end) {
        const double* tile[kTileRows];
        double sums[kTileRows * kPanelWidth];
        interrupt::Pacer pacer;
        for (std::size_t i = begin; i < end;) {
            const std::size_t length = a[i].size();
            std::size_t count = 0;
            while (count < kTileRows && i + count < end && a[i + count].size() == length) {
                tile[count] = a[i + count].data();
                ++count;
            }
            pacer.add(count * b.size() * (length + 1));
            for (const Panel& panel : panels.view()) {
                if (panel.data == nullptr) {
                    for (std::size_t r = 0; r < count; ++r) {
                        for (std::size_t l = 0; l < panel.rows; ++l) {
                            out.row(i + r)[panel.first + l] = Metric::pair(a[i + r], b[panel.first + l]);
                        }
                    }
                    continue;
                }
                const std::size_t m = std::min(length, panel.length);
                kernel(tile, count, m, panel.data, sums);
                metric.finish(i, count, panel, m, sums, out);
            }
            i += count;
        }
    };
    pool::loop(a.size(), rows_of);
    return out;
}

}  // namespace

NestedList<double> pairwise_cosine(Rows matrix_a, Rows matrix_b) {
    return pairwise<Cosine>(matrix_a, matrix_b);
}

NestedList<double> pairwise_manhattan(Rows matrix_a, Rows matrix_b) {
    return pairwise<Manhattan>(matrix_a, matrix_b);
}

}  // namespace mosswick::ml
