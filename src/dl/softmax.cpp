// Both functions run one row kernel: the row maximum, the exponentials written
// straight into the output row with their sum taken in index order, then one
// division pass. Rows are processed in order on the calling thread, or whole
// rows per piece on the pool from the parallel threshold up.
#include "dl/softmax.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "core/errors.hpp"
#include "core/pool.hpp"

namespace mosswick::dl {

namespace {

// The maximum of the row's numbers, -inf when there are none (an empty row, or only
// NaN): "v > m ? v : m" never lets NaN in. It is kept in four lanes merged at the end,
// which can change only the sign of a zero maximum: exp(z[j] - m) is the same for both.
double row_maximum(const double* z, std::size_t n) {
    constexpr std::size_t kLanes = 4;
    double lane[kLanes];
    for (double& m : lane) {
        m = -std::numeric_limits<double>::infinity();
    }
    std::size_t j = 0;
    for (; j + kLanes <= n; j += kLanes) {
        for (std::size_t k = 0; k < kLanes; ++k) {
            lane[k] = z[j + k] > lane[k] ? z[j + k] : lane[k];
        }
    }
    for (; j < n; ++j) {
        lane[0] = z[j] > lane[0] ? z[j] : lane[0];
    }
    const double low = lane[1] > lane[0] ? lane[1] : lane[0];
    const double high = lane[3] > lane[2] ? lane[3] : lane[2];
    return high > low ? high : low;
}

// o[j] = exp(z[j] - m) for the row maximum m; returns the sum of the o[j] in index
// order from +0.0.
double exponentiate_row(const double* z, double* o, std::size_t n) {
    const double m = row_maximum(z, n);
    double s = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        o[j] = std::exp(z[j] - m);
        s += o[j];
    }
    return s;
}

// row(i, z, o, n) for every row i of the C-contiguous matrix x (z, n values) and of the
// row-major out (o).
template <class Row>
void for_each_row(Matrix x, double* out, Row row) {
    const std::size_t rows = x.extent(0);
    const std::size_t classes = x.extent(1);
    const double* in = x.data();
    auto body = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            row(i, in + i * classes, out + i * classes, classes);
        }
    };
    pool::loop(rows, body);
}

}  // namespace

NewArray<2> softmax(Matrix x) {
    if (!x.contiguous()) {
        throw ValueError("input must be C-contiguous");
    }
    auto out = AlignedBuffer<double>::uninitialized(x.size());
    for_each_row(x, out.data(), [](std::size_t, const double* z, double* o, std::size_t n) {
        const double s = exponentiate_row(z, o, n);
        for (std::size_t j = 0; j < n; ++j) {
            o[j] = o[j] / s;
        }
    });
    return {std::move(out), {x.extent(0), x.extent(1)}};
}

// Row i of the gradient is (p - onehot(c)) / B for its probabilities p and target c;
// each value is divided by B as it is stored, which is the same rounding as dividing
// afterwards. The loss uses max(p_c, 1e-15), a NaN p_c counting as 1e-15.
std::pair<double, NewArray<2>> softmax_cross_entropy(Matrix logits, Labels targets) {
    if (!logits.contiguous()) {
        throw ValueError("logits must be C-contiguous");
    }
    if (!targets.contiguous()) {
        throw ValueError("targets must be contiguous");
    }
    const std::size_t batch = logits.extent(0);
    const std::size_t classes = logits.extent(1);
    if (targets.size() != batch) {
        throw ValueError("targets length must match logits batch size");
    }
    const std::int64_t* target = targets.data();
    for (std::size_t i = 0; i < batch; ++i) {
        if (target[i] < 0 || static_cast<std::uint64_t>(target[i]) >= classes) {
            throw ValueError("target class index out of range for logits.shape[1]");
        }
    }
    const double b = static_cast<double>(batch);
    auto grad = AlignedBuffer<double>::uninitialized(batch * classes);
    auto losses = AlignedBuffer<double>::uninitialized(batch);
    double* loss = losses.data();
    for_each_row(logits, grad.data(), [&](std::size_t i, const double* z, double* o, std::size_t n) {
        const double s = exponentiate_row(z, o, n);
        const auto c = static_cast<std::size_t>(target[i]);
        const double p_c = o[c] / s;
        for (std::size_t j = 0; j < n; ++j) {
            o[j] = (o[j] / s) / b;
        }
        o[c] = (p_c + -1.0) / b;
        loss[i] = -std::log(p_c > 1e-15 ? p_c : 1e-15);
    });
    double total = -0.0;
    for (std::size_t i = 0; i < batch; ++i) {
        total += loss[i];
    }
    return {total / b, NewArray<2>{std::move(grad), {batch, classes}}};
}

}  // namespace mosswick::dl
