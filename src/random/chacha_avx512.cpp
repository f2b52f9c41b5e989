// Blocks with AVX-512: each 512-bit register holds one row of a group of four blocks
// (one block per 128-bit lane). The diagonal round rotates rows b, c and d within
// their lanes so that it becomes a column round; a 4 x 4 transpose of the lanes puts
// each block's words together at the end. Two groups run side by side when there are
// two to do, since one group's rounds are a single chain of dependent instructions.
#include <immintrin.h>

#include "random/kernels.hpp"

// GCC 12's AVX-512 intrinsics fill unused lanes from a self-initialised "undefined"
// register and then warn about it where they are inlined (fixed in GCC 13).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace mosswick::random::kernels {

namespace {

struct Rows {
    __m512i a, b, c, d;
};

inline void quarter_rounds(Rows& x) {
    x.a = _mm512_add_epi32(x.a, x.b);
    x.d = _mm512_rol_epi32(_mm512_xor_si512(x.d, x.a), 16);
    x.c = _mm512_add_epi32(x.c, x.d);
    x.b = _mm512_rol_epi32(_mm512_xor_si512(x.b, x.c), 12);
    x.a = _mm512_add_epi32(x.a, x.b);
    x.d = _mm512_rol_epi32(_mm512_xor_si512(x.d, x.a), 8);
    x.c = _mm512_add_epi32(x.c, x.d);
    x.b = _mm512_rol_epi32(_mm512_xor_si512(x.b, x.c), 7);
}

inline void double_round(Rows& x) {
    quarter_rounds(x);
    x.b = _mm512_shuffle_epi32(x.b, _MM_PERM_ADCB);
    x.c = _mm512_shuffle_epi32(x.c, _MM_PERM_BADC);
    x.d = _mm512_shuffle_epi32(x.d, _MM_PERM_CBAD);
    quarter_rounds(x);
    x.b = _mm512_shuffle_epi32(x.b, _MM_PERM_CBAD);
    x.c = _mm512_shuffle_epi32(x.c, _MM_PERM_BADC);
    x.d = _mm512_shuffle_epi32(x.d, _MM_PERM_ADCB);
}

// Rows of the input state for blocks counter .. counter + 3: each lane holds its
// block's 64-bit counter in its low half (stream 0 above it).
inline Rows input(const std::uint32_t* key, std::uint64_t counter) {
    const __m512i base = _mm512_set1_epi64(static_cast<long long>(counter));
    return {
        _mm512_broadcast_i32x4(_mm_setr_epi32(0x61707865, 0x3320646E, 0x79622D32, 0x6B206574)),
        _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(key))),
        _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 4))),
        _mm512_maskz_add_epi64(0x55, base, _mm512_setr_epi64(0, 0, 1, 0, 2, 0, 3, 0)),
    };
}

inline void add_and_store(const Rows& x, const Rows& in, std::uint32_t* out) {
    const __m512i a = _mm512_add_epi32(x.a, in.a);
    const __m512i b = _mm512_add_epi32(x.b, in.b);
    const __m512i c = _mm512_add_epi32(x.c, in.c);
    const __m512i d = _mm512_add_epi32(x.d, in.d);
    const __m512i ab01 = _mm512_shuffle_i32x4(a, b, 0x44);  // a0 a1 b0 b1
    const __m512i cd01 = _mm512_shuffle_i32x4(c, d, 0x44);
    const __m512i ab23 = _mm512_shuffle_i32x4(a, b, 0xEE);  // a2 a3 b2 b3
    const __m512i cd23 = _mm512_shuffle_i32x4(c, d, 0xEE);
    _mm512_storeu_si512(out + 0, _mm512_shuffle_i32x4(ab01, cd01, 0x88));   // a0 b0 c0 d0
    _mm512_storeu_si512(out + 16, _mm512_shuffle_i32x4(ab01, cd01, 0xDD));  // a1 b1 c1 d1
    _mm512_storeu_si512(out + 32, _mm512_shuffle_i32x4(ab23, cd23, 0x88));
    _mm512_storeu_si512(out + 48, _mm512_shuffle_i32x4(ab23, cd23, 0xDD));
}

// N groups of four blocks from block `counter` on, their rounds interleaved.
template <int N>
void groups_side_by_side(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out) {
    Rows in[N];
    Rows x[N];
    for (int g = 0; g < N; ++g) {
        in[g] = input(key, counter + 4 * static_cast<std::uint64_t>(g));
        x[g] = in[g];
    }
    for (int round = 0; round < 6; ++round) {
        for (int g = 0; g < N; ++g) {
            double_round(x[g]);
        }
    }
    for (int g = 0; g < N; ++g) {
        add_and_store(x[g], in[g], out + 64 * g);
    }
}

}  // namespace

void chacha12_blocks_avx512(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out,
                            std::size_t groups) {
    for (; groups >= 2; groups -= 2, counter += 8, out += 128) {
        groups_side_by_side<2>(key, counter, out);
    }
    if (groups == 1) {
        groups_side_by_side<1>(key, counter, out);
    }
}

}  // namespace mosswick::random::kernels
