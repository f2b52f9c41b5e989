// Sorting and selection of doubles whose only comparison is IEEE less-than.
#pragma once

#include <cstddef>

namespace mosswick::classic {

// Sorts a[0, n) ascending. Every index it touches is computed from n alone, so
// comparisons that are no consistent order (NaN) cannot lead it out of bounds;
// a depth limit with a heapsort fallback keeps it O(n log n) in any case.
void sort_doubles(double* a, std::size_t n);

// Rearranges a[0, n) so that a[k] holds the element of rank k, with nothing larger
// before it and nothing smaller after it (k < n). Bounds-safe in the same way.
void select_double(double* a, std::size_t n, std::size_t k);

}  // namespace mosswick::classic
