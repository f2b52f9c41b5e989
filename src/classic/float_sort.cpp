#include "classic/float_sort.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "classic/partition.hpp"
#include "classic/sort_kernels.hpp"

namespace mosswick::classic {

namespace {

constexpr std::size_t kNintherMin = 128;

// The array of doubles is handed to the kernels (in other translation units, called
// through pointers) as the integer keys that replace the values in place, and the
// values are restored before anything reads them as doubles again.
std::int64_t* as_keys(double* a) {
    return reinterpret_cast<std::int64_t*>(a);
}

void sift_down(std::int64_t* a, std::size_t n, std::size_t i) {
    for (std::size_t child = 2 * i + 1; child < n; i = child, child = 2 * i + 1) {
        if (child + 1 < n && a[child] < a[child + 1]) {
            ++child;
        }
        if (!(a[i] < a[child])) {
            return;
        }
        std::swap(a[i], a[child]);
    }
}

void heapsort(std::int64_t* a, std::size_t n) {
    for (std::size_t i = n / 2; i-- > 0;) {
        sift_down(a, n, i);
    }
    for (std::size_t end = n; end-- > 1;) {
        std::swap(a[0], a[end]);
        sift_down(a, end, 0);
    }
}

// The index, among i, j and k, of the median of their values.
std::size_t median_of_three(const std::int64_t* a, std::size_t i, std::size_t j, std::size_t k) {
    if (a[j] < a[i]) {
        std::swap(i, j);
    }
    if (a[k] < a[j]) {
        j = a[k] < a[i] ? i : k;
    }
    return j;
}

std::size_t choose_pivot(const std::int64_t* a, std::size_t n) {
    const std::size_t mid = n / 2;
    if (n < kNintherMin) {
        return median_of_three(a, 0, mid, n - 1);
    }
    const std::size_t s = n / 8;
    return median_of_three(a, median_of_three(a, 0, s, 2 * s), median_of_three(a, mid - s, mid, mid + s),
                           median_of_three(a, n - 1 - 2 * s, n - 1 - s, n - 1));
}

unsigned depth_limit(std::size_t n) {
    return 2 * static_cast<unsigned>(std::bit_width(n));
}

void introsort(const SortKernels& kernels, std::int64_t* a, std::size_t n, unsigned depth) {
    while (n > kernels.small_max) {
        if (depth == 0) {
            heapsort(a, n);
            return;
        }
        --depth;
        const auto [lt, gt] = split_three_way(a, n, choose_pivot(a, n));
        // Recurse into the smaller side, loop on the larger one.
        if (lt < n - gt) {
            introsort(kernels, a, lt, depth);
            a += gt;
            n -= gt;
        } else {
            introsort(kernels, a + gt, n - gt, depth);
            n = lt;
        }
    }
    kernels.sort_small(a, a, n);
}

void sort_keys(const SortKernels& kernels, std::int64_t* a, std::size_t n) {
    if (n > 1) {
        introsort(kernels, a, n, depth_limit(n));
    }
}

}  // namespace

void sort_doubles(double* a, std::size_t n) {
    const SortKernels& kernels = sort_kernels();
    std::int64_t* keys = as_keys(a);
    kernels.double_keys(keys, n);
    sort_keys(kernels, keys, n);
    // NaNs with the sign bit set sorted first: they go after the positive NaNs.
    const std::size_t negative_nans = static_cast<std::size_t>(
        std::partition_point(keys, keys + n, [](std::int64_t k) { return k < kKeyOfMinusInfinity; }) - keys);
    if (negative_nans > 0) {
        std::rotate(keys, keys + negative_nans, keys + n);
    }
    kernels.double_keys(keys, n);
}

void select_double(double* a, std::size_t n, std::size_t k) {
    const SortKernels& kernels = sort_kernels();
    std::int64_t* keys = as_keys(a);
    kernels.double_keys(keys, n);
    // Quickselect on the same partitions as the sort; after a bounded number of rounds
    // the remaining window is sorted outright, which keeps the worst case O(n log n).
    std::int64_t* w = keys;
    std::size_t m = n;
    unsigned depth = depth_limit(n);
    while (m > kernels.small_max && depth-- > 0) {
        const auto [lt, gt] = split_three_way(w, m, choose_pivot(w, m));
        if (k < lt) {
            m = lt;
        } else if (k < gt) {
            m = 0;
            break;
        } else {
            w += gt;
            m -= gt;
            k -= gt;
        }
    }
    sort_keys(kernels, w, m);
    kernels.double_keys(keys, n);
}

}  // namespace mosswick::classic
