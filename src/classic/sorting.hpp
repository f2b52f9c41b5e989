// Sorts of integer and float lists, each returning the sorted copy. Items with
// handles come back as the caller's objects: their order is found by sorting one word
// per item (classic/order.hpp) with the routine's own sort, so every sort keeps equal
// items in input order. Without handles the values themselves are sorted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/items.hpp"

namespace mosswick::classic {

// Randomised three-way quicksort with vector partitioning; blocks of up to
// SortKernels::small_max elements are sorted by a sorting network (insertion sort
// at 16 elements or fewer in the portable build).
Picked<std::int64_t> quicksort(Items<std::int64_t> arr);

// Top-down merge sort with one scratch array per call: base blocks sorted in one
// piece, vector merges (bitonic merge networks) above them.
Picked<std::int64_t> mergesort(Items<std::int64_t> arr);

// From 50,000 elements: one thread per logical processor sorts a chunk with
// quicksort_worker, then the sorted runs are merged pairwise, round by round, with
// the vector merge.
Picked<std::int64_t> parallel_sort(Items<std::int64_t> arr);

// Unstable sort in IEEE order (sort_doubles): the values that are not NaN ascending,
// then the NaNs.
Picked<double> quicksort_f64(Items<double> arr);

// The sequential sort behind quicksort and parallel_sort's chunks.
void quicksort_worker(std::int64_t* a, std::size_t n);

}  // namespace mosswick::classic
