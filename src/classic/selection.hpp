// Searching and selection over integer lists.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/items.hpp"

namespace mosswick::classic {

// The index of an element equal to target in an ascending array, found by bisection.
std::optional<std::uint64_t> binary_search(std::vector<std::int64_t> arr, std::int64_t target);

// The k-th smallest element (k from 1) by quickselect; IndexError "k out of range".
std::int64_t kth_smallest(std::vector<std::int64_t> arr, std::uint64_t k);

// The min(k, n) largest elements, largest first.
std::vector<std::int64_t> top_k(std::vector<std::int64_t> arr, std::uint64_t k);

// The distinct values in order of first appearance (the first occurrences' own
// objects, where the items have handles).
Picked<std::int64_t> dedup(Items<std::int64_t> arr);

}  // namespace mosswick::classic
