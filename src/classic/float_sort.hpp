// Sorting and selection of doubles in IEEE order, done on integer keys (see
// SortKernels::double_keys) whose signed order is that of the values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mosswick::classic {

// Sorts a[0, n): every value that is not NaN in ascending order (-0.0 before 0.0),
// then the NaNs (those without the sign bit, by payload, then those with it). An
// introspective quicksort on the keys: pivots are medians of three (or of nine), and
// past a depth of 2 log2 n a window is heap-sorted, so the worst case is O(n log n).
void sort_doubles(double* a, std::size_t n);

// Writes to order[0, n) the positions of a[0, n) in the order of sort_doubles, equal
// values (in all their bits) by position. a[0, n) is left as it was.
void order_doubles(double* a, std::size_t n, std::uint64_t* order);

struct Ranked {
    double at;     // the element of rank k
    double below;  // with_below and k > 0: the largest element of rank below k; else the one of rank k
};

// The elements of ranks k and just below k of a[0, n) (k < n) in the order of
// sort_doubles, by quickselect with the sort's partitions (the worst case stays
// O(n log n)). a[0, n) is left in an unspecified state.
Ranked select_double(double* a, std::size_t n, std::size_t k, bool with_below);

}  // namespace mosswick::classic
