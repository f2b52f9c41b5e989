// Descriptive statistics, products and edit distance. Sums run strictly from the
// first term to the last in one accumulator that starts at -0.0.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace mosswick::classic {

double mean(std::vector<double> arr);

// Fails (internal failure) when a list of two or more holds a NaN.
double median(std::vector<double> arr);

// Population variance, two passes.
double variance(std::vector<double> arr);

double std_dev(std::vector<double> arr);

// ValueError "vectors must be same length".
double dot_product(std::vector<double> a, std::vector<double> b);

// Row-by-row product that skips zero entries of a; ValueError "incompatible matrix
// dimensions"; a ragged row that is reached is an internal failure.
std::vector<std::vector<double>> matmul(std::vector<std::vector<double>> a, std::vector<std::vector<double>> b);

}  // namespace mosswick::classic
