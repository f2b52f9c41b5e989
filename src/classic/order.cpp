#include "classic/order.hpp"

#include <algorithm>
#include <bit>
#include <vector>

#include "core/interrupt.hpp"

namespace mosswick::classic {

namespace {

// Runs shorter than this are ordered by insertion.
constexpr std::size_t kRunSortMin = 32;

// Calls body(begin, end) over [0, n) in blocks, polling between them: a linear pass
// over a long array is as long as a partition.
template <class Body>
void in_blocks(std::size_t n, Body body) {
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    for (std::size_t begin = 0; begin < n; begin += kBlock) {
        interrupt::poll();
        body(begin, std::min(n, begin + kBlock));
    }
}

// Stable: positions with equal keys keep their order.
void insertion_by_key(const std::int64_t* keys, std::uint64_t* positions, std::size_t m) {
    for (std::size_t i = 1; i < m; ++i) {
        const std::uint64_t p = positions[i];
        const std::int64_t key = keys[p];
        std::size_t j = i;
        for (; j > 0 && key < keys[positions[j - 1]]; --j) {
            positions[j] = positions[j - 1];
        }
        positions[j] = p;
    }
}

// Orders positions[0, m), given in ascending order, by their keys.
void order_run(const std::int64_t* keys, std::uint64_t* positions, std::size_t m, WordSort sort) {
    if (m < kRunSortMin) {
        insertion_by_key(keys, positions, m);
        return;
    }
    std::vector<std::int64_t> run_keys(m);
    const std::vector<std::uint64_t> run_positions(positions, positions + m);
    for (std::size_t t = 0; t < m; ++t) {
        run_keys[t] = keys[positions[t]];
    }
    std::vector<std::uint64_t> local(m);
    order_by_key(run_keys.data(), m, sort, local.data());
    for (std::size_t t = 0; t < m; ++t) {
        positions[t] = run_positions[local[t]];
    }
}

}  // namespace

void order_by_key(const std::int64_t* keys, std::size_t n, WordSort sort, std::uint64_t* order) {
    if (n <= 1) {
        if (n == 1) {
            order[0] = 0;
        }
        return;
    }
    std::int64_t lo = keys[0];
    std::int64_t hi = keys[0];
    in_blocks(n, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            lo = std::min(lo, keys[i]);
            hi = std::max(hi, keys[i]);
        }
    });
    // A word is (key - lo) >> shift in its upper 63 - bits bits and the position below.
    const auto bits = static_cast<unsigned>(std::bit_width(n - 1));
    const auto base = static_cast<std::uint64_t>(lo);
    const auto width = static_cast<unsigned>(std::bit_width(static_cast<std::uint64_t>(hi) - base));
    const unsigned shift = width + bits > 63 ? width + bits - 63 : 0;
    in_blocks(n, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            order[i] = ((static_cast<std::uint64_t>(keys[i]) - base) >> shift << bits) | i;
        }
    });
    sort(reinterpret_cast<std::int64_t*>(order), n);
    const std::uint64_t position = (std::uint64_t{1} << bits) - 1;
    if (shift == 0) {
        in_blocks(n, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                order[i] &= position;
            }
        });
        return;
    }
    // Words that tie above the position bits hold keys that differ at most in the
    // dropped bits; the run is in position order, so ordering it again keeps ties so.
    interrupt::Pacer pacer;
    for (std::size_t i = 0; i < n;) {
        const std::uint64_t high = order[i] >> bits;
        std::size_t j = i + 1;
        while (j < n && order[j] >> bits == high) {
            ++j;
        }
        for (std::size_t t = i; t < j; ++t) {
            order[t] &= position;
        }
        if (j - i > 1) {
            order_run(keys, order + i, j - i, sort);
        }
        pacer.add(j - i);
        i = j;
    }
}

}  // namespace mosswick::classic
