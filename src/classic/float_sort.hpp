// Sorting and selection of doubles in IEEE order, done on integer keys (see
// SortKernels::double_keys) whose signed order is that of the values.
#pragma once

#include <cstddef>

namespace mosswick::classic {

// Sorts a[0, n): every value that is not NaN in ascending order (-0.0 before 0.0),
// then the NaNs (those without the sign bit, by payload, then those with it). An
// introspective quicksort on the keys: pivots are medians of three (or of nine), and
// past a depth of 2 log2 n a window is heap-sorted, so the worst case is O(n log n).
void sort_doubles(double* a, std::size_t n);

// Rearranges a[0, n) so that a[k] holds the element of rank k, with nothing larger
// before it and nothing smaller after it (k < n), in the order of sort_doubles.
void select_double(double* a, std::size_t n, std::size_t k);

}  // namespace mosswick::classic
