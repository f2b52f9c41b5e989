#include "classic/partition.hpp"

#include <time.h>

namespace mosswick::classic {

std::atomic<std::uint64_t> SEED_COUNTER{1};

namespace {

thread_local std::uint64_t rng_state = 0;  // 0 until the thread's first draw

// Moves the elements of a[0, n) for which goes_left(x) holds to the front, keeping
// no particular order, and returns how many there are. Branch-free: the outcome of
// each comparison is as unpredictable as the data.
template <class GoesLeft>
std::size_t partition_front(std::int64_t* a, std::size_t n, GoesLeft goes_left) {
    std::size_t left = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t x = a[i];
        const bool moves = goes_left(x);
        a[i] = a[left];
        a[left] = x;
        left += moves;
    }
    return left;
}

}  // namespace

std::uint64_t RNG::seed() {
    const std::uint64_t c = SEED_COUNTER.fetch_add(1, std::memory_order_relaxed);
    // Only the sub-second part of the wall clock is used; a clock set before the
    // epoch still has one, so it seeds like any other reading.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::uint64_t state = (c * 0x9E3779B97F4A7C15ull) ^ static_cast<std::uint64_t>(now.tv_nsec);
    return state != 0 ? state : 0xDEADBEEF;
}

std::size_t RNG::pivot_index(std::size_t length) {
    std::uint64_t s = rng_state != 0 ? rng_state : seed();
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    rng_state = s;
    return static_cast<std::size_t>((s * 0x2545F4914F6CDD1Dull) % length);
}

// The smaller elements first, then the equal ones among the rest.
std::pair<std::size_t, std::size_t> three_way_partition(std::int64_t* a, std::size_t n) {
    const std::int64_t p = a[RNG::pivot_index(n)];
    const std::size_t lt = partition_front(a, n, [p](std::int64_t x) { return x < p; });
    const std::size_t equal = partition_front(a + lt, n - lt, [p](std::int64_t x) { return x == p; });
    return {lt, lt + equal};
}

}  // namespace mosswick::classic
