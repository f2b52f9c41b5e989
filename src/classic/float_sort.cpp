#include "classic/float_sort.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "classic/order.hpp"
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

// Partitions a[0, n) around the key a[pivot], n >= 2. Returns the pivot's final
// position m: a[0, m) < a[m] <= a[m + 1, n). One pass, which counts nothing: runs of
// equal keys are dealt with by the bound below, as in pdqsort.
std::size_t partition_at_pivot(const SortKernels& kernels, std::int64_t* a, std::size_t n, std::size_t pivot) {
    std::swap(a[pivot], a[n - 1]);
    const std::int64_t p = a[n - 1];
    const std::size_t smaller = kernels.partition(a, n - 1, p, nullptr);
    std::swap(a[smaller], a[n - 1]);
    return smaller;
}

// When a[-1] exists and is not greater than any key of a[0, n) (bounded below) and
// equals the pivot p, every key not greater than p equals p: those are moved to the
// front and returned as a count, and they are in place.
std::size_t gather_equal(const SortKernels& kernels, std::int64_t* a, std::size_t n, std::int64_t p) {
    if (p == INT64_MAX) {
        return n;
    }
    return kernels.partition(a, n, p + 1, nullptr);
}

// `bounded_below` says that a[-1] exists and is not greater than any key of a[0, n).
void introsort(const SortKernels& kernels, std::int64_t* a, std::size_t n, unsigned depth, bool bounded_below) {
    while (n > kernels.small_max) {
        poll_before_pass(n);
        if (depth == 0) {
            heapsort(a, n);
            return;
        }
        --depth;
        const std::size_t pivot = choose_pivot(a, n);
        const std::int64_t p = a[pivot];
        if (bounded_below && a[-1] == p) {
            const std::size_t equal = gather_equal(kernels, a, n, p);
            a += equal;
            n -= equal;
            continue;
        }
        const std::size_t m = partition_at_pivot(kernels, a, n, pivot);
        // Recurse into the smaller side, loop on the larger one.
        if (m < n - m - 1) {
            introsort(kernels, a, m, depth, bounded_below);
            a += m + 1;
            n -= m + 1;
            bounded_below = true;
        } else {
            introsort(kernels, a + m + 1, n - m - 1, depth, true);
            n = m;
        }
    }
    kernels.sort_small(a, a, n);
}

void sort_keys(const SortKernels& kernels, std::int64_t* a, std::size_t n) {
    if (n > 1) {
        introsort(kernels, a, n, depth_limit(n), false);
    }
}

}  // namespace

void sort_doubles(double* a, std::size_t n) {
    const SortKernels& kernels = dispatch<SortKernels>();
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

void order_doubles(double* a, std::size_t n, std::uint64_t* order) {
    const SortKernels& kernels = dispatch<SortKernels>();
    std::int64_t* keys = as_keys(a);
    kernels.double_keys(keys, n);
    order_by_key(keys, n, [](std::int64_t* words, std::size_t m) { sort_keys(dispatch<SortKernels>(), words, m); }, order);
    const std::size_t negative_nans = static_cast<std::size_t>(
        std::partition_point(order, order + n, [&](std::uint64_t i) { return keys[i] < kKeyOfMinusInfinity; }) -
        order);
    if (negative_nans > 0) {
        std::rotate(order, order + negative_nans, order + n);
    }
    kernels.double_keys(keys, n);
}

Ranked select_double(double* a, std::size_t n, std::size_t k, bool with_below) {
    const SortKernels& kernels = dispatch<SortKernels>();
    std::int64_t* keys = as_keys(a);
    kernels.double_keys(keys, n);
    // Quickselect on the same partitions as the sort; after a bounded number of rounds
    // the remaining window is sorted outright, which keeps the worst case O(n log n).
    std::int64_t* w = keys;
    std::size_t m = n;
    unsigned depth = depth_limit(n);
    bool bounded_below = false;
    while (m > kernels.small_max && depth-- > 0) {
        poll_before_pass(m);
        const std::size_t chosen = choose_pivot(w, m);
        const std::int64_t p = w[chosen];
        if (bounded_below && w[-1] == p) {
            const std::size_t equal = gather_equal(kernels, w, m, p);
            if (k < equal) {
                m = 0;
                break;
            }
            w += equal;
            m -= equal;
            k -= equal;
            continue;
        }
        const std::size_t pivot = partition_at_pivot(kernels, w, m, chosen);
        if (k == pivot) {
            m = 0;
            break;
        }
        if (k < pivot) {
            m = pivot;
        } else {
            w += pivot + 1;
            m -= pivot + 1;
            k -= pivot + 1;
            bounded_below = true;
        }
    }
    sort_keys(kernels, w, m);
    // Nothing before rank k is larger than it: the largest of them is the one just below.
    const std::size_t rank = static_cast<std::size_t>(w - keys) + k;
    std::int64_t values[2] = {keys[rank], rank > 0 && with_below ? keys[0] : keys[rank]};
    if (with_below) {
        for (std::size_t i = 1; i < rank; ++i) {
            values[1] = std::max(values[1], keys[i]);
        }
    }
    kernels.double_keys(values, 2);
    return {std::bit_cast<double>(values[0]), std::bit_cast<double>(values[1])};
}

}  // namespace mosswick::classic
