// Vector types at the width of the build being compiled, for the *_kernels.cpp
// bodies (see core/isa.hpp). Everything here lives in a namespace named after the
// build, so the three compilations of a body never share an inline function: the
// linker could otherwise keep the AVX-512 copy for every caller.
#pragma once

#ifndef MOSSWICK_ISA
#error "core/simd.hpp belongs to the *_kernels.cpp bodies, which the build compiles once per instruction set"
#endif

#include <cstddef>
#include <cstdint>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/isa.hpp"

// Vectors wider than a build's registers are passed in memory there; the bodies'
// functions are internal to one file, so that calling convention never crosses files.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace mosswick::simd {
inline namespace MOSSWICK_ISA {

inline constexpr Isa kIsa = Isa::MOSSWICK_ISA;

// Bytes in one vector register of this build.
#if defined(__AVX512F__)
inline constexpr std::size_t kBytes = 64;
#elif defined(__AVX2__)
inline constexpr std::size_t kBytes = 32;
#else
inline constexpr std::size_t kBytes = 16;
#endif

// N values of T side by side; by default one register's worth.
template <class T, std::size_t N = kBytes / sizeof(T)>
struct VectorOf {
    typedef T type __attribute__((vector_size(N * sizeof(T))));
};
template <class T, std::size_t N = kBytes / sizeof(T)>
using Vec = typename VectorOf<T, N>::type;

template <class T>
inline constexpr std::size_t kLanes = kBytes / sizeof(T);

template <class V>
inline V load(const void* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
inline void store(void* p, V v) {
    __builtin_memcpy(p, &v, sizeof v);
}

// Every lane set to value; for a V that is T itself, value. (Subtracting zero keeps
// a negative zero, and the compiler drops it; written as a loop, the compiler
// sometimes builds the vector from memory lane by lane.)
template <class V, class T>
inline V splat(T value) {
    return value - V{};
}

// Lane i of the result is lane Pick(i) of a followed by b (Pick(i) < 2 * lanes), for a
// constexpr function object Pick: the lanes are picked by constants, which is all that
// compilers turn into one permutation instruction.
template <auto Pick, class V>
inline V shuffle(V a, V b) {
    constexpr std::size_t lanes = sizeof(V) / sizeof(a[0]);
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return V(__builtin_shufflevector(a, b, static_cast<int>(Pick(I))...));
    }(std::make_index_sequence<lanes>{});
}

// Lane i of the result is lane Pick(i) of v.
template <auto Pick, class V>
inline V shuffle(V v) {
    return shuffle<Pick>(v, v);
}

// a * b + c on doubles: rounded once where the build has fused multiply-add, twice
// otherwise. The matrix product uses it where its order of rounding is free; the
// vector exp, log and tanh (built only where fused multiply-add exists) where the C
// library's algorithm fuses a multiply and an add. Other exact formulas use plain * and +.
template <class V>
inline V mul_add(V a, V b, V c) {
#if defined(__AVX512F__)
    if constexpr (sizeof(V) == 64) {
        return _mm512_fmadd_pd(a, b, c);
    }
#endif
#if defined(__FMA__)
    if constexpr (sizeof(V) == 32) {
        return _mm256_fmadd_pd(a, b, c);
    } else if constexpr (sizeof(V) == 16) {
        return _mm_fmadd_pd(a, b, c);
    }
#endif
    return a * b + c;
}

// A comparison's result for vectors V: all ones in the lanes where it holds.
template <class V>
using MaskOf = decltype(V{} < V{});

// Internal to each body that includes this, like everything below: a copy the compiler
// keeps out of line must not be shared between the builds.
namespace {

// Bit l set where lane l of a comparison of 64-bit lanes holds.
template <class Mask>
inline unsigned lanes_of(Mask mask) {
    static_assert(sizeof(mask[0]) == 8);
#if defined(__AVX512DQ__)
    if constexpr (sizeof(Mask) == 64) {
        return _mm512_movepi64_mask(reinterpret_cast<__m512i>(mask));
    }
#endif
#if defined(__AVX__)
    if constexpr (sizeof(Mask) == 32) {
        return static_cast<unsigned>(_mm256_movemask_pd(reinterpret_cast<__m256d>(mask)));
    }
#endif
    unsigned lanes = 0;
    for (std::size_t l = 0; l < sizeof(Mask) / 8; ++l) {
        lanes |= static_cast<unsigned>(mask[l] != 0) << l;
    }
    return lanes;
}

// Whether every lane of a comparison of 64-bit lanes (or a lone comparison) holds.
template <class Mask>
inline bool all_lanes(Mask mask) {
    if constexpr (sizeof(Mask) == sizeof(bool)) {
        return mask;
    } else {
        return lanes_of(mask) == (1u << (sizeof(Mask) / 8)) - 1;
    }
}

#if defined(__AVX512F__) || defined(__AVX2__)
using Doubles = Vec<double>;
using Longs = Vec<long long>;

// Every lane rounded toward zero.
inline Doubles truncate(Doubles v) {
#if defined(__AVX512F__)
    return _mm512_maskz_roundscale_pd(0xff, v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
#else
    return _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
#endif
}

// split_store puts the lanes of v below pivot, in order, at low and the others so that
// they end at high_end, adds one to each lane of equal where v equals pivot, and
// returns how many lanes are below. With kExact it writes only the lanes it places;
// otherwise it writes a whole vector from low and one ending at high_end, so it needs
// a vector's room of writable memory from low and before high_end.
#if defined(__AVX512F__)
inline __mmask8 low_lanes(std::size_t count) {
    return static_cast<__mmask8>(_bzhi_u32(0xFF, static_cast<unsigned>(count)));
}

// For each 8-bit mask of the lower lanes, the lane indices (one byte each) that put
// them first (in order) and the other lanes after them.
struct SplitOrders {
    alignas(64) std::uint64_t index[256];
};

constexpr SplitOrders make_split_orders() {
    SplitOrders t{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned out = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (unsigned lane = 0; lane < 8; ++lane) {
                const bool lower = (mask >> lane) & 1;
                if (lower == (pass == 0)) {
                    t.index[mask] |= std::uint64_t{lane} << (8 * out++);
                }
            }
        }
    }
    return t;
}

constexpr SplitOrders kSplitOrders = make_split_orders();

template <bool kExact>
inline std::size_t split_store(Longs v, Longs pivot, std::int64_t* low, std::int64_t* high_end, Longs& equal) {
    const __mmask8 lower = _mm512_cmplt_epi64_mask(v, pivot);
    equal = _mm512_mask_sub_epi64(equal, _mm512_cmpeq_epi64_mask(v, pivot), equal, splat<Longs>(-1LL));
    const auto count = static_cast<std::size_t>(__builtin_popcount(lower));
    if constexpr (kExact) {
        const std::size_t others = 8 - count;
        _mm512_mask_storeu_epi64(low, low_lanes(count), _mm512_maskz_compress_epi64(lower, v));
        _mm512_mask_storeu_epi64(high_end - others, low_lanes(others),
                                 _mm512_maskz_compress_epi64(static_cast<__mmask8>(~lower), v));
    } else {
        // One permutation (compressing twice costs more on some processors) and two
        // whole stores: the lower lanes land at [low, low + count), the others at
        // [high_end - (8 - count), high_end); the rest falls in the free room.
        // (The zero-masking forms spare the compiler's undefined upper lanes.)
        const __m512i order =
            _mm512_maskz_cvtepu8_epi64(0xFF, _mm_cvtsi64_si128(static_cast<long long>(kSplitOrders.index[lower])));
        const Longs arranged = _mm512_maskz_permutexvar_epi64(0xFF, order, v);
        store(low, arranged);
        store(high_end - 8, arranged);
    }
    return count;
}
#else
// For each 4-bit mask of the lower lanes, the 32-bit lane indices that put them first
// (in order) and the other lanes after them.
struct SplitOrders {
    alignas(32) std::int32_t index[16][8];
};

constexpr SplitOrders make_split_orders() {
    SplitOrders t{};
    for (int mask = 0; mask < 16; ++mask) {
        int out = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (int lane = 0; lane < 4; ++lane) {
                const bool lower = (mask >> lane) & 1;
                if (lower == (pass == 0)) {
                    t.index[mask][2 * out] = 2 * lane;
                    t.index[mask][2 * out + 1] = 2 * lane + 1;
                    ++out;
                }
            }
        }
    }
    return t;
}

constexpr SplitOrders kSplitOrders = make_split_orders();

template <bool kExact>
inline std::size_t split_store(Longs v, Longs pivot, std::int64_t* low, std::int64_t* high_end, Longs& equal) {
    const Longs is_lower = _mm256_cmpgt_epi64(pivot, v);
    equal -= _mm256_cmpeq_epi64(v, pivot);
    const int lower = _mm256_movemask_pd(_mm256_castsi256_pd(is_lower));
    const auto count = static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(lower)));
    const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(kSplitOrders.index[lower]));
    const Longs arranged = _mm256_permutevar8x32_epi32(v, order);
    if constexpr (kExact) {
        const Longs first = splat<Longs>(static_cast<long long>(count)) > Longs{0, 1, 2, 3};
        _mm256_maskstore_epi64(reinterpret_cast<long long*>(low), first, arranged);
        _mm256_maskstore_epi64(reinterpret_cast<long long*>(high_end - 4), ~first, arranged);
    } else {
        // Both stores write the whole vector: the lower lanes land at [low, low + count),
        // the others at [high_end - (4 - count), high_end); the rest falls in the free room.
        store(low, arranged);
        store(high_end - 4, arranged);
    }
    return count;
}
#endif
#endif

}  // namespace

}  // namespace MOSSWICK_ISA
}  // namespace mosswick::simd
