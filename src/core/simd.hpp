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
// otherwise. For kernels whose order of rounding is free (the matrix product);
// exact formulas use plain * and +.
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

}  // namespace MOSSWICK_ISA
}  // namespace mosswick::simd
