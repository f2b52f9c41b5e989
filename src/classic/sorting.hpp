// Sorts of integer and float lists, each returning the sorted copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mosswick::classic {

// Randomised three-way quicksort, insertion sort at 16 elements or fewer.
std::vector<std::int64_t> quicksort(std::vector<std::int64_t> arr);

// Top-down merge sort with one scratch array per call.
std::vector<std::int64_t> mergesort(std::vector<std::int64_t> arr);

// From 50,000 elements: one thread per logical processor sorts a chunk, then the
// sorted runs are merged pairwise, round by round.
std::vector<std::int64_t> parallel_sort(std::vector<std::int64_t> arr);

// Unstable sort by IEEE less-than; NaNs end up somewhere, never out of bounds.
std::vector<double> quicksort_f64(std::vector<double> arr);

// The sequential sort behind quicksort and parallel_sort's chunks.
void quicksort_worker(std::int64_t* a, std::size_t n);

}  // namespace mosswick::classic
