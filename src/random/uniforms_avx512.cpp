// Uniform values from runs of 64-bit words, eight at a time: the shift, the exact
// conversion of a 53-bit integer and the exact scaling by 2^-53 of the scalar code.
#include <immintrin.h>

#include "random/kernels.hpp"

// GCC 12's AVX-512 intrinsics warn about their own "undefined" registers (see
// chacha_avx512.cpp).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace mosswick::random::kernels {

void uniforms_avx512(const std::uint32_t* words, std::size_t count, double* out) {
    const __m512d scale = _mm512_set1_pd(0x1.0p-53);
    std::size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        // Two 32-bit words, low half first, are one little-endian 64-bit word.
        const __m512i w = _mm512_loadu_si512(words + 2 * k);
        _mm512_storeu_pd(out + k, _mm512_mul_pd(_mm512_cvtepu64_pd(_mm512_srli_epi64(w, 11)), scale));
    }
    const auto rest = static_cast<__mmask8>((1u << (count - k)) - 1);
    const __m512i w = _mm512_maskz_loadu_epi64(rest, words + 2 * k);
    _mm512_mask_storeu_pd(out + k, rest, _mm512_mul_pd(_mm512_cvtepu64_pd(_mm512_srli_epi64(w, 11)), scale));
}

}  // namespace mosswick::random::kernels
