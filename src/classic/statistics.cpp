#include "classic/statistics.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "classic/float_sort.hpp"
#include "core/errors.hpp"

namespace mosswick::classic {

namespace {

double sum(const std::vector<double>& x) {
    double s = -0.0;
    for (const double v : x) {
        s += v;
    }
    return s;
}

[[noreturn]] void out_of_bounds(std::size_t length, std::size_t index) {
    throw InternalFailure("index out of bounds: the len is " + std::to_string(length) + " but the index is " +
                          std::to_string(index));
}

}  // namespace

double mean(std::vector<double> arr) {
    if (arr.empty()) {
        return 0.0;
    }
    return sum(arr) / static_cast<double>(arr.size());
}

double median(std::vector<double> arr) {
    const std::size_t n = arr.size();
    if (n == 0) {
        return 0.0;
    }
    if (n == 1) {
        return arr[0];
    }
    // A sort whose comparison requires ordered values meets every element, so a NaN
    // anywhere fails it. Without NaN, selecting the middle gives the sorted middle.
    if (std::any_of(arr.begin(), arr.end(), [](double x) { return std::isnan(x); })) {
        throw InternalFailure("called `Option::unwrap()` on a `None` value");
    }
    const Ranked middle = select_double(arr.data(), n, n / 2, n % 2 == 0);
    if (n % 2 == 1) {
        return middle.at;
    }
    return (middle.below + middle.at) * 0.5;
}

double variance(std::vector<double> arr) {
    if (arr.empty()) {
        return 0.0;
    }
    const auto n = static_cast<double>(arr.size());
    const double mu = sum(arr) / n;
    double squares = -0.0;
    for (const double x : arr) {
        const double d = x - mu;
        squares += d * d;
    }
    return squares / n;
}

double std_dev(std::vector<double> arr) {
    return std::sqrt(variance(std::move(arr)));
}

double dot_product(std::vector<double> a, std::vector<double> b) {
    if (a.size() != b.size()) {
        throw ValueError("vectors must be same length");
    }
    double s = -0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        s += a[i] * b[i];
    }
    return s;
}

std::vector<std::vector<double>> matmul(std::vector<std::vector<double>> a, std::vector<std::vector<double>> b) {
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    if (n == 0 || m == 0 || a[0].size() != m) {
        throw ValueError("incompatible matrix dimensions");
    }
    const std::size_t p = b[0].size();
    std::vector<std::vector<double>> c(n, std::vector<double>(p, 0.0));
    for (std::size_t i = 0; i < n; ++i) {
        double* row = c[i].data();
        for (std::size_t k = 0; k < m; ++k) {
            if (k >= a[i].size()) {
                out_of_bounds(a[i].size(), k);
            }
            const double x = a[i][k];
            if (x == 0.0) {
                continue;
            }
            if (b[k].size() < p) {
                out_of_bounds(b[k].size(), b[k].size());
            }
            const double* bk = b[k].data();
            for (std::size_t j = 0; j < p; ++j) {
                row[j] += x * bk[j];
            }
        }
    }
    return c;
}

}  // namespace mosswick::classic
