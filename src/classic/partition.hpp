// The pivot generator shared by the sorts and the selections, and the
// three-way partition that draws from it.
#pragma once

#include <atomic>
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

// Incremented once by every thread that seeds its pivot generator.
extern std::atomic<std::uint64_t> SEED_COUNTER;

// A thread's xorshift64 pivot generator, seeded on its first draw from
// SEED_COUNTER and the clock, and kept for the thread's lifetime.
class RNG {
public:
    // A pivot index in [0, length); length >= 1.
    static std::size_t pivot_index(std::size_t length);

private:
    static std::uint64_t seed();
};

// Partitions a[0, n) around a random pivot p, n >= 1. Returns (lt, gt):
// a[0, lt) < p, a[lt, gt) == p, a[gt, n) > p.
std::pair<std::size_t, std::size_t> three_way_partition(std::int64_t* a, std::size_t n);

// The same three regions around the value p = a[pivot], pivot < n.
std::pair<std::size_t, std::size_t> split_three_way(std::int64_t* a, std::size_t n, std::size_t pivot);

}  // namespace mosswick::classic
