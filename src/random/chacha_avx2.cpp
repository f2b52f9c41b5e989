// Four blocks with AVX2: each 256-bit register holds one row of two blocks (one per
// 128-bit lane), and the two pairs of blocks run side by side. The diagonal round
// rotates rows b, c and d within their lanes so that it becomes a column round.
#include <immintrin.h>

#include "random/kernels.hpp"

namespace mosswick::random::kernels {

namespace {

struct Rows {
    __m256i a, b, c, d;
};

inline __m256i rotl16(__m256i v) {
    const __m256i bytes = _mm256_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13,  //
                                           2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13);
    return _mm256_shuffle_epi8(v, bytes);
}

inline __m256i rotl8(__m256i v) {
    const __m256i bytes = _mm256_setr_epi8(3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14,  //
                                           3, 0, 1, 2, 7, 4, 5, 6, 11, 8, 9, 10, 15, 12, 13, 14);
    return _mm256_shuffle_epi8(v, bytes);
}

template <int C>
inline __m256i rotl(__m256i v) {
    return _mm256_or_si256(_mm256_slli_epi32(v, C), _mm256_srli_epi32(v, 32 - C));
}

inline void quarter_rounds(Rows& x) {
    x.a = _mm256_add_epi32(x.a, x.b);
    x.d = rotl16(_mm256_xor_si256(x.d, x.a));
    x.c = _mm256_add_epi32(x.c, x.d);
    x.b = rotl<12>(_mm256_xor_si256(x.b, x.c));
    x.a = _mm256_add_epi32(x.a, x.b);
    x.d = rotl8(_mm256_xor_si256(x.d, x.a));
    x.c = _mm256_add_epi32(x.c, x.d);
    x.b = rotl<7>(_mm256_xor_si256(x.b, x.c));
}

inline void double_round(Rows& x) {
    quarter_rounds(x);
    x.b = _mm256_shuffle_epi32(x.b, _MM_SHUFFLE(0, 3, 2, 1));
    x.c = _mm256_shuffle_epi32(x.c, _MM_SHUFFLE(1, 0, 3, 2));
    x.d = _mm256_shuffle_epi32(x.d, _MM_SHUFFLE(2, 1, 0, 3));
    quarter_rounds(x);
    x.b = _mm256_shuffle_epi32(x.b, _MM_SHUFFLE(2, 1, 0, 3));
    x.c = _mm256_shuffle_epi32(x.c, _MM_SHUFFLE(1, 0, 3, 2));
    x.d = _mm256_shuffle_epi32(x.d, _MM_SHUFFLE(0, 3, 2, 1));
}

inline __m256i counter_row(std::uint64_t first) {
    const std::uint64_t second = first + 1;
    return _mm256_setr_epi32(static_cast<int>(first), static_cast<int>(first >> 32), 0, 0,
                             static_cast<int>(second), static_cast<int>(second >> 32), 0, 0);
}

// Writes the two blocks of a pair: the low lanes are the first block, the high lanes the second.
inline void store(const Rows& x, std::uint32_t* out) {
    auto* o = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(o + 0, _mm256_permute2x128_si256(x.a, x.b, 0x20));
    _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(x.c, x.d, 0x20));
    _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(x.a, x.b, 0x31));
    _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(x.c, x.d, 0x31));
}

// Blocks counter .. counter + 3 into out[0 .. 64).
void group(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out) {
    const __m256i sigma = _mm256_setr_epi32(0x61707865, 0x3320646E, 0x79622D32, 0x6B206574,  //
                                            0x61707865, 0x3320646E, 0x79622D32, 0x6B206574);
    const __m256i k0 = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(key)));
    const __m256i k1 = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 4)));
    const Rows in0{sigma, k0, k1, counter_row(counter)};
    const Rows in1{sigma, k0, k1, counter_row(counter + 2)};
    Rows x0 = in0;
    Rows x1 = in1;
    for (int round = 0; round < 6; ++round) {
        double_round(x0);
        double_round(x1);
    }
    const auto add = [](Rows& x, const Rows& in) {
        x.a = _mm256_add_epi32(x.a, in.a);
        x.b = _mm256_add_epi32(x.b, in.b);
        x.c = _mm256_add_epi32(x.c, in.c);
        x.d = _mm256_add_epi32(x.d, in.d);
    };
    add(x0, in0);
    add(x1, in1);
    store(x0, out);
    store(x1, out + 32);
}

}  // namespace

void chacha12_blocks_avx2(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out, std::size_t groups) {
    for (std::size_t g = 0; g < groups; ++g) {
        group(key, counter + 4 * g, out + 64 * g);
    }
}

}  // namespace mosswick::random::kernels
