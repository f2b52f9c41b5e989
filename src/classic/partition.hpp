// The three-way partition of the sorts and selections (its pivots drawn from
// classic/pivot.hpp), and the interrupt polls before their passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/interrupt.hpp"

namespace mosswick::classic {

// Sorts and selections stop part-way when their call is interrupted: every pass over
// at least kPollSpan elements (a partition or a merge) polls first, so the longest
// stretch without a poll is the work on one smaller piece.
inline constexpr std::size_t kPollSpan = std::size_t{1} << 16;

inline void poll_before_pass(std::size_t n) {
    if (n >= kPollSpan) {
        interrupt::poll();
    }
}

// Partitions a[0, n) around a random pivot p, n >= 1. Returns (lt, gt):
// a[0, lt) < p, a[lt, gt) == p, a[gt, n) > p.
std::pair<std::size_t, std::size_t> three_way_partition(std::int64_t* a, std::size_t n);

// The same three regions around the value p = a[pivot], pivot < n.
std::pair<std::size_t, std::size_t> split_three_way(std::int64_t* a, std::size_t n, std::size_t pivot);

}  // namespace mosswick::classic
