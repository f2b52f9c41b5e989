// Sorts of integer and float lists, each returning the sorted copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mosswick::classic {

// Randomised three-way quicksort with vector partitioning; blocks of up to
// SortKernels::small_max elements are sorted by a sorting network (insertion sort
// at 16 elements or fewer in the portable build).
std::vector<std::int64_t> quicksort(std::vector<std::int64_t> arr);

// Top-down merge sort with one scratch array per call: base blocks sorted in one
// piece, vector merges (bitonic merge networks) above them.
std::vector<std::int64_t> mergesort(std::vector<std::int64_t> arr);

// From 50,000 elements: one thread per logical processor sorts a chunk with
// quicksort_worker, then the sorted runs are merged pairwise, round by round, with
// the vector merge.
std::vector<std::int64_t> parallel_sort(std::vector<std::int64_t> arr);

// Unstable sort in IEEE order (sort_doubles): the values that are not NaN ascending,
// then the NaNs.
std::vector<double> quicksort_f64(std::vector<double> arr);

// The sequential sort behind quicksort and parallel_sort's chunks.
void quicksort_worker(std::int64_t* a, std::size_t n);

}  // namespace mosswick::classic
