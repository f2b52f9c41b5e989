// The variants of the vector kernels, one per instruction set; chacha.cpp and
// draws.cpp pick one at run time. Raw pointers only: the vector files must not
// instantiate templates or inline functions that other files share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mosswick::random::kernels {

// The block function. key: 8 words; out: `groups` groups of four blocks (64 words each).
void chacha12_blocks_portable(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out,
                              std::size_t groups);
void chacha12_blocks_avx2(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out, std::size_t groups);
void chacha12_blocks_avx512(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out,
                            std::size_t groups);

// out[k] = draw_uniform's value for the 64-bit word whose halves are words[2k] (low)
// and words[2k + 1] (high), for k < count.
void uniforms_portable(const std::uint32_t* words, std::size_t count, double* out);
void uniforms_avx512(const std::uint32_t* words, std::size_t count, double* out);

}  // namespace mosswick::random::kernels
