// Deterministic k-means (Lloyd's algorithm) over rows of equal length.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ml/rows.hpp"

namespace mosswick::ml {

// Starts from the rows c * (n / k), c = 0 .. k - 1, and runs at most max_iters
// iterations, stopping early once the centroids move by less than tolerance in
// total. Returns the k centroids and, for every row, the index of its nearest
// centroid as of the last assignment.
std::pair<Rows, std::vector<std::uint64_t>> kmeans(Rows data, std::uint64_t k, std::uint64_t max_iters,
                                                    double tolerance);

}  // namespace mosswick::ml
