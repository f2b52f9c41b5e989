// The ChaCha block function with 12 rounds, run over groups of four consecutive blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace mosswick::random {

using Key = std::array<std::uint32_t, 8>;

inline constexpr std::size_t kBlockWords = 16;
inline constexpr std::size_t kBlocksPerRefill = 4;
inline constexpr std::size_t kRefillWords = kBlockWords * kBlocksPerRefill;

// The output words of consecutive blocks from block `counter` on (stream 0; the 64-bit
// counter carries into word 13), block after block, until `out` is full; its size is a
// multiple of four blocks. The same words on every instruction set.
void chacha12_blocks(const Key& key, std::uint64_t counter, std::span<std::uint32_t> out);

}  // namespace mosswick::random
