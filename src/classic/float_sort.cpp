#include "classic/float_sort.hpp"

#include <bit>
#include <utility>

namespace mosswick::classic {

namespace {

constexpr std::size_t kInsertionSortMax = 24;
constexpr std::size_t kNintherMin = 128;

void insertion_sort(double* a, std::size_t n) {
    for (std::size_t i = 1; i < n; ++i) {
        const double x = a[i];
        std::size_t j = i;
        for (; j > 0 && x < a[j - 1]; --j) {
            a[j] = a[j - 1];
        }
        a[j] = x;
    }
}

void sift_down(double* a, std::size_t n, std::size_t i) {
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

void heapsort(double* a, std::size_t n) {
    for (std::size_t i = n / 2; i-- > 0;) {
        sift_down(a, n, i);
    }
    for (std::size_t end = n; end-- > 1;) {
        std::swap(a[0], a[end]);
        sift_down(a, end, 0);
    }
}

// The index, among i, j and k, of the median of their values.
std::size_t median_of_three(const double* a, std::size_t i, std::size_t j, std::size_t k) {
    if (a[j] < a[i]) {
        std::swap(i, j);
    }
    if (a[k] < a[j]) {
        j = a[k] < a[i] ? i : k;
    }
    return j;
}

std::size_t choose_pivot(const double* a, std::size_t n) {
    const std::size_t mid = n / 2;
    if (n < kNintherMin) {
        return median_of_three(a, 0, mid, n - 1);
    }
    const std::size_t s = n / 8;
    return median_of_three(a, median_of_three(a, 0, s, 2 * s), median_of_three(a, mid - s, mid, mid + s),
                           median_of_three(a, n - 1 - 2 * s, n - 1 - s, n - 1));
}

// Moves the elements of a[1, n) for which goes_left(x) holds to the front of that
// range (branch-free Lomuto) and returns how many there are.
template <class GoesLeft>
std::size_t partition_after_first(double* a, std::size_t n, GoesLeft goes_left) {
    std::size_t left = 1;
    for (std::size_t i = 1; i < n; ++i) {
        const double x = a[i];
        const bool moves = goes_left(x);
        a[i] = a[left];
        a[left] = x;
        left += moves;
    }
    return left - 1;
}

// `bounded_below` says that a[-1] exists and is not greater than any element of a[0, n).
void introsort(double* a, std::size_t n, unsigned depth, bool bounded_below) {
    while (n > kInsertionSortMax) {
        if (depth == 0) {
            heapsort(a, n);
            return;
        }
        --depth;
        std::swap(a[0], a[choose_pivot(a, n)]);
        const double p = a[0];
        if (bounded_below && !(a[-1] < p)) {
            // The pivot equals the bound below: everything not greater than it is equal
            // to it and already in place.
            const std::size_t equal = partition_after_first(a, n, [p](double x) { return !(p < x); });
            a += equal + 1;
            n -= equal + 1;
            continue;
        }
        const std::size_t smaller = partition_after_first(a, n, [p](double x) { return x < p; });
        std::swap(a[0], a[smaller]);
        // Recurse into the smaller side, loop on the larger one.
        if (smaller < n - smaller - 1) {
            introsort(a, smaller, depth, bounded_below);
            a += smaller + 1;
            n -= smaller + 1;
            bounded_below = true;
        } else {
            introsort(a + smaller + 1, n - smaller - 1, depth, true);
            n = smaller;
        }
    }
    insertion_sort(a, n);
}

}  // namespace

void select_double(double* a, std::size_t n, std::size_t k) {
    // Quickselect on the same partitions as the sort; after a bounded number of rounds
    // the remaining window is sorted outright, which keeps the worst case O(n log n).
    unsigned depth = 2 * static_cast<unsigned>(std::bit_width(n));
    bool bounded_below = false;
    while (n > kInsertionSortMax && depth-- > 0) {
        std::swap(a[0], a[choose_pivot(a, n)]);
        const double p = a[0];
        if (bounded_below && !(a[-1] < p)) {
            const std::size_t equal = partition_after_first(a, n, [p](double x) { return !(p < x); });
            if (k <= equal) {
                return;
            }
            a += equal + 1;
            n -= equal + 1;
            k -= equal + 1;
            continue;
        }
        const std::size_t smaller = partition_after_first(a, n, [p](double x) { return x < p; });
        std::swap(a[0], a[smaller]);
        if (k == smaller) {
            return;
        }
        if (k < smaller) {
            n = smaller;
        } else {
            a += smaller + 1;
            n -= smaller + 1;
            k -= smaller + 1;
            bounded_below = true;
        }
    }
    sort_doubles(a, n);
}

void sort_doubles(double* a, std::size_t n) {
    if (n > 1) {
        introsort(a, n, 2 * static_cast<unsigned>(std::bit_width(n)), false);
    }
}

}  // namespace mosswick::classic
