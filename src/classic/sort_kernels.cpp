// The sort kernels, one body that the build compiles once per instruction set (see
// core/isa.hpp). The AVX-512 and AVX2 builds share one vector implementation over
// W lanes of int64 (8 or 4): a bitonic sorting network in registers for blocks of
// up to 16 vectors; an in-place partition that stores each vector's smaller and
// other lanes at the two ends of the free gap (core/simd.hpp's split_store);
// and a merge whose steps merge one new vector with the larger half kept from the
// step before by a bitonic merge network, two streams at once. The portable build
// is scalar: insertion sort, branch-free Lomuto partition, two-ended scalar merge.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "classic/sort_kernels.hpp"
#include "core/simd.hpp"

namespace mosswick::classic {
namespace {

using i64 = std::int64_t;

// ---- Scalar pieces, used by every build (for short inputs and tails) ----

// memcpy, which an empty run (perhaps at a null pointer) does not reach.
inline void copy(const i64* from, std::size_t count, i64* to) {
    if (count != 0) {
        std::memcpy(to, from, count * sizeof(i64));
    }
}

// Branch-free Lomuto partition: the outcome of each comparison is as unpredictable as the data.
template <bool kCountEqual>
inline std::size_t lomuto(i64* a, std::size_t n, i64 p, std::size_t* equal) {
    std::size_t left = 0;
    std::size_t same = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const i64 x = a[i];
        a[i] = a[left];
        a[left] = x;
        left += x < p;
        if constexpr (kCountEqual) {
            same += x == p;
        }
    }
    if constexpr (kCountEqual) {
        *equal = same;
    }
    return left;
}

// The smallest elements are taken from the front while the largest are taken from the
// back, two independent chains of comparisons that the processor overlaps.
inline void merge_scalar(const i64* x, std::size_t nx, const i64* y, std::size_t ny, i64* out) {
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t x_end = nx;
    std::size_t y_end = ny;
    std::size_t front = 0;
    std::size_t back = nx + ny;
    while (i < x_end && j < y_end) {
        const bool y_first = y[j] < x[i];
        out[front++] = y_first ? y[j] : x[i];
        j += y_first;
        i += !y_first;
        if (i == x_end || j == y_end) {
            break;
        }
        const bool x_last = y[y_end - 1] < x[x_end - 1];
        out[--back] = x_last ? x[x_end - 1] : y[y_end - 1];
        x_end -= x_last;
        y_end -= !x_last;
    }
    while (i < x_end && j < y_end) {
        const bool y_first = y[j] < x[i];
        out[front++] = y_first ? y[j] : x[i];
        j += y_first;
        i += !y_first;
    }
    copy(x + i, x_end - i, out + front);
    copy(y + j, y_end - j, out + front + (x_end - i));
}

inline void double_keys(i64* a, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const i64 x = a[i];
        a[i] = x ^ ((x >> 63) & 0x7FFFFFFFFFFFFFFF);
    }
}

#if defined(__AVX2__)

// ---- Vectors of W int64 lanes ----

using V = simd::Vec<long long>;
constexpr std::size_t W = simd::kLanes<long long>;
static_assert(W == 4 || W == 8);
constexpr i64 kMax = 0x7FFFFFFFFFFFFFFF;

inline V load(const i64* p) {
    return simd::load<V>(p);
}

inline void store(i64* p, V v) {
    simd::store(p, v);
}

inline V vmin(V a, V b) {
    return a < b ? a : b;
}

inline V vmax(V a, V b) {
    return a < b ? b : a;
}

// Lane i of the result is lane i ^ K of v.
template <std::size_t K>
inline V xor_lanes(V v) {
    constexpr auto pick = [](std::size_t i) { return i ^ K; };
    return simd::shuffle<pick>(v);
}

inline V reverse(V v) {
    return xor_lanes<W - 1>(v);
}

// Lane i from hi where i & B, else from lo.
template <std::size_t B>
inline V blend(V lo, V hi) {
    constexpr auto pick = [](std::size_t i) { return (i & B) ? W + i : i; };
    return simd::shuffle<pick>(lo, hi);
}

// ---- Bitonic sorting network over K vectors (K * W elements, element i = lane i % W of vector i / W) ----

// Compare-exchange of every element i with i ^ (S - 1) in the lower half of each block of S:
// the first step of the merge stage that makes blocks of S sorted.
template <std::size_t K, std::size_t S>
inline void flip_step(V* r) {
    if constexpr (S <= W) {
        for (std::size_t j = 0; j < K; ++j) {
            const V partner = xor_lanes<S - 1>(r[j]);
            r[j] = blend<S / 2>(vmin(r[j], partner), vmax(r[j], partner));
        }
    } else {
        constexpr std::size_t span = S / W;  // vectors per block
        for (std::size_t j = 0; j < K; ++j) {
            if ((j & (span / 2)) == 0) {
                const std::size_t q = j ^ (span - 1);
                const V b = reverse(r[q]);
                const V lo = vmin(r[j], b);
                r[q] = reverse(vmax(r[j], b));
                r[j] = lo;
            }
        }
    }
}

// Compare-exchange of every element i with i ^ D, the smaller one to the lower index.
template <std::size_t K, std::size_t D>
inline void xor_step(V* r) {
    if constexpr (D < W) {
        for (std::size_t j = 0; j < K; ++j) {
            const V partner = xor_lanes<D>(r[j]);
            r[j] = blend<D>(vmin(r[j], partner), vmax(r[j], partner));
        }
    } else {
        constexpr std::size_t dv = D / W;
        for (std::size_t j = 0; j < K; ++j) {
            if ((j & dv) == 0) {
                const V lo = vmin(r[j], r[j + dv]);
                r[j + dv] = vmax(r[j], r[j + dv]);
                r[j] = lo;
            }
        }
    }
}

template <std::size_t K, std::size_t D>
inline void xor_steps(V* r) {
    if constexpr (D >= 1) {
        xor_step<K, D>(r);
        xor_steps<K, D / 2>(r);
    }
}

// After the stage for S, each block of S elements is sorted.
template <std::size_t K, std::size_t S>
inline void stages(V* r) {
    if constexpr (S <= K * W) {
        flip_step<K, S>(r);
        xor_steps<K, S / 4>(r);
        stages<K, S * 2>(r);
    }
}

// Sorts n <= K * W elements: full vectors are loaded directly, the rest of the block
// is padded with the largest value, which sorts to the end and is never stored.
template <std::size_t K>
void sort_block(const i64* src, i64* dst, std::size_t n) {
    V r[K];
    const std::size_t full = n / W;
    const std::size_t rest = n % W;
    for (std::size_t j = 0; j < K; ++j) {
        r[j] = simd::splat<V>(static_cast<long long>(kMax));
    }
    for (std::size_t j = 0; j < full; ++j) {
        r[j] = load(src + j * W);
    }
    if (rest != 0) {
        alignas(64) i64 tail[W];
        for (std::size_t l = 0; l < W; ++l) {
            tail[l] = l < rest ? src[full * W + l] : kMax;
        }
        r[full] = load(tail);
    }
    stages<K, 2>(r);
    for (std::size_t j = 0; j < full; ++j) {
        store(dst + j * W, r[j]);
    }
    if (rest != 0) {
        alignas(64) i64 tail[W];
        store(tail, r[full]);
        for (std::size_t l = 0; l < rest; ++l) {
            dst[full * W + l] = tail[l];
        }
    }
}

constexpr std::size_t kBlockVectors = 16;

void sort_small(const i64* src, i64* dst, std::size_t n) {
    if (n <= 1) {
        if (n == 1) {
            dst[0] = src[0];
        }
    } else if (n <= W) {
        sort_block<1>(src, dst, n);
    } else if (n <= 2 * W) {
        sort_block<2>(src, dst, n);
    } else if (n <= 4 * W) {
        sort_block<4>(src, dst, n);
    } else if (n <= 8 * W) {
        sort_block<8>(src, dst, n);
    } else {
        sort_block<16>(src, dst, n);
    }
}

// ---- Partition ----

inline std::size_t lane_sum(V v) {
    std::size_t sum = 0;
    for (std::size_t l = 0; l < W; ++l) {
        sum += static_cast<std::size_t>(v[l]);
    }
    return sum;
}

// Vectors read per step of the partition loop: their loads and comparisons do not
// wait for the previous step's stores.
constexpr std::size_t kUnroll = 4;
constexpr std::size_t kStep = kUnroll * W;

// In place: the first and last kStep elements are copied aside, which opens a gap of
// 2 kStep; each step reads kStep elements from the end whose free room is smaller
// and writes them to both ends of the gap, so the gap never closes on unread data.
// What is left at the end (fewer than 3 kStep elements, all copied aside) fills the
// gap exactly.
std::size_t partition(i64* a, std::size_t n, i64 p, std::size_t* equal) {
    const V pivot = simd::splat<V>(static_cast<long long>(p));
    V same = V{};
    alignas(64) i64 aside[3 * kStep];
    std::size_t left = 0;
    std::size_t right = n;
    std::size_t kept = n;
    if (n >= 3 * kStep) {
        copy(a, kStep, aside);
        copy(a + n - kStep, kStep, aside + kStep);
        std::size_t read_left = kStep;
        std::size_t read_right = n - kStep;
        while (read_right - read_left >= kStep) {
            const std::size_t from_left = 0 - static_cast<std::size_t>(read_left - left <= right - read_right);
            const std::size_t at = (read_left & from_left) | ((read_right - kStep) & ~from_left);
            read_left += kStep & from_left;
            read_right -= kStep & ~from_left;
            V v[kUnroll];
            for (std::size_t u = 0; u < kUnroll; ++u) {
                v[u] = load(a + at + u * W);
            }
            for (std::size_t u = 0; u < kUnroll; ++u) {
                const std::size_t smaller = simd::split_store<false>(v[u], pivot, a + left, a + right, same);
                left += smaller;
                right -= W - smaller;
            }
        }
        kept = 2 * kStep + (read_right - read_left);
        copy(a + read_left, read_right - read_left, aside + 2 * kStep);
    } else {
        copy(a, n, aside);
    }
    std::size_t i = 0;
    for (; i + W <= kept; i += W) {
        const std::size_t smaller = simd::split_store<true>(load(aside + i), pivot, a + left, a + right, same);
        left += smaller;
        right -= W - smaller;
    }
    std::size_t same_rest = 0;
    for (; i < kept; ++i) {
        const i64 x = aside[i];
        a[left] = x;
        a[right - 1] = x;
        left += x < p;
        right -= !(x < p);
        same_rest += x == p;
    }
    if (equal != nullptr) {
        *equal = lane_sum(same) + same_rest;
    }
    return left;
}

// ---- Merge ----

// Sorts the bitonic sequence of one vector, ascending or descending.
template <bool kAscending>
inline V sort_bitonic(V v) {
    if constexpr (W == 8) {
        const V t = xor_lanes<4>(v);
        v = kAscending ? blend<4>(vmin(v, t), vmax(v, t)) : blend<4>(vmax(v, t), vmin(v, t));
    }
    V t = xor_lanes<2>(v);
    v = kAscending ? blend<2>(vmin(v, t), vmax(v, t)) : blend<2>(vmax(v, t), vmin(v, t));
    t = xor_lanes<1>(v);
    return kAscending ? blend<1>(vmin(v, t), vmax(v, t)) : blend<1>(vmax(v, t), vmin(v, t));
}

// One stream of the vector merge of x[0, nx) and y[0, ny) into out, both runs at
// least W long. Each step merges the next vector of one run (ascending) with the W
// largest elements seen so far (held descending, which spares a reversal on the chain
// of steps), writes the W smallest and refills from the run whose next element is
// smaller. When a run has fewer than W elements left, finish merges the held vector
// and both remainders by the scalar loop.
struct MergeStream {
    const i64* x;
    std::size_t nx;
    const i64* y;
    std::size_t ny;
    i64* out;
    std::size_t i = W;
    std::size_t j = W;
    V next;
    V held;

    MergeStream(const i64* x_, std::size_t nx_, const i64* y_, std::size_t ny_, i64* out_)
        : x(x_), nx(nx_), y(y_), ny(ny_), out(out_), next(load(x_)), held(reverse(load(y_))) {}

    // Returns false once a run has run short; then only finish remains.
    bool step() {
        const V small = vmin(next, held);
        held = sort_bitonic<false>(vmax(next, held));
        store(out, sort_bitonic<true>(small));
        out += W;
        if (i + W > nx || j + W > ny) {
            return false;
        }
        const std::size_t from_x = 0 - static_cast<std::size_t>(x[i] <= y[j]);
        const auto at = (reinterpret_cast<std::uintptr_t>(x + i) & from_x) |
                        (reinterpret_cast<std::uintptr_t>(y + j) & ~from_x);
        next = load(reinterpret_cast<const i64*>(at));
        i += W & from_x;
        j += W & ~from_x;
        return true;
    }

    void finish() {
        alignas(64) i64 largest[W];
        store(largest, reverse(held));
        // Merge the held vector with the shorter rest first (fewer than W + W elements).
        i64 both[2 * W];
        if (nx - i < W) {
            merge_scalar(largest, W, x + i, nx - i, both);
            merge_scalar(both, W + nx - i, y + j, ny - j, out);
        } else {
            merge_scalar(largest, W, y + j, ny - j, both);
            merge_scalar(x + i, nx - i, both, W + ny - j, out);
        }
    }
};

void merge_one_stream(const i64* x, std::size_t nx, const i64* y, std::size_t ny, i64* out) {
    if (nx < W || ny < W) {
        merge_scalar(x, nx, y, ny, out);
        return;
    }
    MergeStream stream(x, nx, y, ny, out);
    while (stream.step()) {
    }
    stream.finish();
}

// The output is cut in two halves at the merge path (a elements of x and half - a of y
// are the half smallest), and the two halves are merged by two streams in one loop:
// each stream's steps form one chain of dependent vector operations, and two chains
// keep the processor twice as busy.
void merge(const i64* x, std::size_t nx, const i64* y, std::size_t ny, i64* out) {
    const std::size_t half = (nx + ny) / 2;
    std::size_t lo = half > ny ? half - ny : 0;
    std::size_t hi = half < nx ? half : nx;
    while (lo < hi) {
        const std::size_t a = lo + (hi - lo) / 2;
        // Taking a elements of x is too few when x[a] is below the last y taken.
        if (x[a] < y[half - a - 1]) {
            lo = a + 1;
        } else {
            hi = a;
        }
    }
    const std::size_t a = lo;
    const std::size_t b = half - a;
    if (a < W || b < W || nx - a < W || ny - b < W) {
        merge_one_stream(x, nx, y, ny, out);
        return;
    }
    MergeStream first(x, a, y, b, out);
    MergeStream second(x + a, nx - a, y + b, ny - b, out + half);
    bool first_on = true;
    bool second_on = true;
    while (first_on && second_on) {
        first_on = first.step();
        second_on = second.step();
    }
    while (first_on) {
        first_on = first.step();
    }
    while (second_on) {
        second_on = second.step();
    }
    first.finish();
    second.finish();
}

constexpr SortKernels kSortKernels{
    kBlockVectors * W, &sort_small, &partition, &merge, &double_keys,
};

#else  // portable

constexpr std::size_t kInsertionSortMax = 16;

// Insertion sort.
void sort_small(const i64* src, i64* dst, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const i64 x = src[i];
        std::size_t j = i;
        for (; j > 0 && x < dst[j - 1]; --j) {
            dst[j] = dst[j - 1];
        }
        dst[j] = x;
    }
}

std::size_t partition(i64* a, std::size_t n, i64 p, std::size_t* equal) {
    return equal != nullptr ? lomuto<true>(a, n, p, equal) : lomuto<false>(a, n, p, nullptr);
}

void merge(const i64* x, std::size_t nx, const i64* y, std::size_t ny, i64* out) {
    merge_scalar(x, nx, y, ny, out);
}

void keys(i64* a, std::size_t n) {
    double_keys(a, n);
}

constexpr SortKernels kSortKernels{kInsertionSortMax, &sort_small, &partition, &merge, &keys};

#endif

}  // namespace

template <>
const SortKernels& SortKernels::build<Isa::MOSSWICK_ISA>() {
    return kSortKernels;
}

}  // namespace mosswick::classic
