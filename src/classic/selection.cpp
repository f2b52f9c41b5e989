#include "classic/selection.hpp"

#include <algorithm>
#include <bit>

#include "classic/partition.hpp"
#include "classic/sort_kernels.hpp"
#include "classic/sorting.hpp"
#include "core/buffer.hpp"
#include "core/errors.hpp"

namespace mosswick::classic {

namespace {

// Quickselect: rearranges a[0, n) so that a[t] holds the element of rank t, nothing
// before t is larger and nothing after it smaller. t < n. A window of up to
// small_max elements is sorted in one piece, which gives the same element.
void select(std::int64_t* a, std::size_t n, std::size_t t) {
    const SortKernels& kernels = dispatch<SortKernels>();
    while (n > kernels.small_max) {
        const auto [lt, gt] = three_way_partition(a, n);
        if (t < lt) {
            n = lt;
        } else if (t < gt) {
            return;
        } else {
            a += gt;
            n -= gt;
            t -= gt;
        }
    }
    kernels.sort_small(a, a, n);
}

std::uint64_t mix(std::int64_t x) {
    auto h = static_cast<std::uint64_t>(x);
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
    return h ^ (h >> 31);
}

struct Slot {
    std::int64_t value;
    bool occupied;
};

// Calls kept(i, k) for the first occurrence of every value in a[0, n), in input order,
// k counting them from 0; returns how many there are.
template <class Kept>
std::size_t first_occurrences(const std::int64_t* a, std::size_t n, Kept kept) {
    const std::size_t slots = std::max<std::size_t>(16, std::bit_ceil(2 * n));
    const std::size_t mask = slots - 1;
    AlignedBuffer<Slot> table = AlignedBuffer<Slot>::zeros(slots);
    constexpr std::size_t kLookahead = 16;
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i + kLookahead < n) {
            __builtin_prefetch(&table[mix(a[i + kLookahead]) & mask]);
        }
        const std::int64_t x = a[i];
        for (std::size_t s = mix(x) & mask;; s = (s + 1) & mask) {
            if (!table[s].occupied) {
                table[s] = Slot{x, true};
                kept(i, count++);
                break;
            }
            if (table[s].value == x) {
                break;
            }
        }
    }
    return count;
}

}  // namespace

std::optional<std::uint64_t> binary_search(std::vector<std::int64_t> arr, std::int64_t target) {
    if (arr.empty()) {
        return std::nullopt;
    }
    std::size_t lo = 0;
    std::size_t hi = arr.size() - 1;
    for (;;) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (arr[mid] == target) {
            return mid;
        }
        if (arr[mid] < target) {
            lo = mid + 1;
        } else if (mid == 0) {
            return std::nullopt;
        } else {
            hi = mid - 1;
        }
        if (lo > hi) {
            return std::nullopt;
        }
    }
}

std::int64_t kth_smallest(std::vector<std::int64_t> arr, std::uint64_t k) {
    if (k == 0 || k > arr.size()) {
        throw IndexError("k out of range");
    }
    select(arr.data(), arr.size(), k - 1);
    return arr[k - 1];
}

std::vector<std::int64_t> top_k(std::vector<std::int64_t> arr, std::uint64_t k) {
    const std::size_t n = arr.size();
    const std::size_t m = std::min<std::uint64_t>(k, n);
    if (m == 0) {
        return {};
    }
    if (m < n) {
        select(arr.data(), n, n - m);
    }
    std::vector<std::int64_t> top(arr.end() - static_cast<std::ptrdiff_t>(m), arr.end());
    quicksort_worker(top.data(), m);
    std::reverse(top.begin(), top.end());
    return top;
}

Picked<std::int64_t> dedup(Items<std::int64_t> arr) {
    Column<std::int64_t>& values = arr.values;
    const std::size_t n = values.size();
    if (arr.handles == nullptr) {
        // The values overwrite the input from the front: they never get ahead of the scan.
        const std::size_t kept = first_occurrences(values.data(), n, [&](std::size_t i, std::size_t k) {
            values[k] = values[i];
        });
        values.resize(kept);
        return Picked<std::int64_t>::of_values(std::move(values));
    }
    AlignedBuffer<std::uint64_t> order = AlignedBuffer<std::uint64_t>::uninitialized(n);
    const std::size_t kept = first_occurrences(values.data(), n, [&](std::size_t i, std::size_t k) {
        order[k] = i;
    });
    return {std::move(values), arr.handles, std::move(order), kept};
}

}  // namespace mosswick::classic
