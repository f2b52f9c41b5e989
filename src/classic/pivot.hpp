// The pivot generator shared by the sorts and the selections.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace mosswick::classic {

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

}  // namespace mosswick::classic
