#include "classic/pivot.hpp"

#include <time.h>

namespace mosswick::classic {

std::atomic<std::uint64_t> SEED_COUNTER{1};

namespace {

thread_local std::uint64_t rng_state = 0;  // 0 until the thread's first draw

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

}  // namespace mosswick::classic
