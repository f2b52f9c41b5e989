#include "classic/partition.hpp"

#include <time.h>

#include <utility>

#include "classic/sort_kernels.hpp"

namespace mosswick::classic {

std::atomic<std::uint64_t> SEED_COUNTER{1};

namespace {

thread_local std::uint64_t rng_state = 0;  // 0 until the thread's first draw

}  // namespace

const SortKernels& sort_kernels() {
    return dispatch<SortKernels>();
}

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

// One vector partition pass puts the elements smaller than the pivot first and the
// pivot just after them; only when the others hold more copies of the pivot does a
// second pass over them gather those copies after it.
std::pair<std::size_t, std::size_t> split_three_way(std::int64_t* a, std::size_t n, std::size_t pivot) {
    const SortKernels& kernels = sort_kernels();
    const std::int64_t p = a[pivot];
    std::swap(a[pivot], a[n - 1]);
    std::size_t equal = 0;
    const std::size_t lt = kernels.partition(a, n - 1, p, &equal);
    std::swap(a[lt], a[n - 1]);
    std::size_t gt = lt + 1;
    if (equal > 0) {
        // The elements after the pivot are not smaller than it: those below p + 1 equal it.
        if (p == INT64_MAX) {
            gt = n;
        } else {
            std::size_t ignored = 0;
            gt += kernels.partition(a + gt, n - gt, p + 1, &ignored);
        }
    }
    return {lt, gt};
}

std::pair<std::size_t, std::size_t> three_way_partition(std::int64_t* a, std::size_t n) {
    poll_before_pass(n);
    return split_three_way(a, n, RNG::pivot_index(n));
}

}  // namespace mosswick::classic
