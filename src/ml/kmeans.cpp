#include "ml/kmeans.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "core/errors.hpp"
#include "core/interrupt.hpp"
#include "core/pool.hpp"
#include "ml/panels.hpp"
#include "ml/row_kernels.hpp"

namespace mosswick::ml {

namespace {

// The squared Euclidean distance over the common prefix, added left to right from -0.0.
double squared_distance(const std::vector<double>& x, const std::vector<double>& y) {
    const std::size_t m = std::min(x.size(), y.size());
    double sum = -0.0;
    for (std::size_t j = 0; j < m; ++j) {
        const double d = x[j] - y[j];
        sum += d * d;
    }
    return sum;
}

// Labels the rows of the data panels first .. end - 1: each row takes the first centroid whose
// distance is strictly below every earlier one and below the largest finite double, or 0 if
// none is. The panels hold the rows, one per lane, so the comparisons run lane by lane.
void assign(const Panels& rows, const Rows& centroids, std::uint64_t* labels, std::size_t first, std::size_t end) {
    const PanelKernel kernel = dispatch<RowKernels>().squared_difference;
    const std::size_t k = centroids.size();
    const double* tile[kTileRows];
    double distances[kTileRows * kPanelWidth];
    interrupt::Pacer pacer;
    for (const Panel& panel : rows.view().subspan(first, end - first)) {
        pacer.add(k * (panel.length + 1) * kPanelWidth);
        std::uint64_t best[kPanelWidth] = {};
        double nearest[kPanelWidth];
        std::fill(nearest, nearest + kPanelWidth, std::numeric_limits<double>::max());
        for (std::size_t c0 = 0; c0 < k; c0 += kTileRows) {
            const std::size_t count = std::min(kTileRows, k - c0);
            for (std::size_t r = 0; r < count; ++r) {
                tile[r] = centroids[c0 + r].data();
            }
            // (y - x)^2 equals (x - y)^2 exactly, so centroid against row is row against centroid.
            kernel(tile, count, panel.length, panel.data, distances);
            for (std::size_t r = 0; r < count; ++r) {
                for (std::size_t l = 0; l < kPanelWidth; ++l) {
                    const double distance = distances[r * kPanelWidth + l];
                    const bool closer = distance < nearest[l];
                    nearest[l] = closer ? distance : nearest[l];
                    best[l] = closer ? c0 + r : best[l];
                }
            }
        }
        std::copy(best, best + panel.rows, labels + panel.first);
    }
}

}  // namespace

std::pair<Rows, std::vector<std::uint64_t>> kmeans(Rows data, std::uint64_t k, std::uint64_t max_iters,
                                                    double tolerance) {
    const std::size_t n = data.size();
    if (k == 0 || k > n) {
        throw ValueError("Invalid input data size or cluster count 'k'.");
    }
    const std::size_t d = data[0].size();
    if (std::any_of(data.begin(), data.end(), [&](const std::vector<double>& row) { return row.size() != d; })) {
        throw ValueError("All rows of data must have the same length.");
    }
    const std::size_t step = n / k;
    auto seed = [&](std::size_t c) { return data[c * step % n]; };

    Rows centroids(k);
    for (std::size_t c = 0; c < k; ++c) {
        centroids[c] = seed(c);
    }
    std::vector<std::uint64_t> labels(n, 0);
    std::vector<std::uint64_t> counts(k);
    const Panels rows(data);
    const std::size_t panels = rows.view().size();
    interrupt::Pacer pacer;
    for (std::uint64_t done = 0; done < max_iters; ++done) {
        pacer.add(n * (d + 1) * (k + 1));
        auto assign_panels = [&](std::size_t first, std::size_t end) {
            assign(rows, centroids, labels.data(), first, end);
        };
        pool::loop(panels, assign_panels, n);

        Rows next(k, std::vector<double>(d, 0.0));
        std::fill(counts.begin(), counts.end(), 0);
        for (std::size_t i = 0; i < n; ++i) {
            std::vector<double>& sum = next[labels[i]];
            ++counts[labels[i]];
            for (std::size_t j = 0; j < d; ++j) {
                sum[j] += data[i][j];
            }
        }
        for (std::size_t c = 0; c < k; ++c) {
            if (counts[c] == 0) {
                next[c] = seed(c);
                continue;
            }
            const auto members = static_cast<double>(counts[c]);
            for (double& x : next[c]) {
                x = x / members;
            }
        }

        double shift = 0.0;
        for (std::size_t c = 0; c < k; ++c) {
            shift += std::sqrt(squared_distance(centroids[c], next[c]));
        }
        centroids = std::move(next);
        if (shift < tolerance) {
            break;
        }
    }
    return {std::move(centroids), std::move(labels)};
}

}  // namespace mosswick::ml
