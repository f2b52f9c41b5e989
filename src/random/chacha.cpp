// The portable block function and the run-time choice among the variants.
#include "random/chacha.hpp"

#include "frame/cpu.hpp"
#include "random/kernels.hpp"

namespace mosswick::random {

namespace kernels {

namespace {

constexpr std::uint32_t kSigma[4] = {0x61707865, 0x3320646E, 0x79622D32, 0x6B206574};
constexpr int kDoubleRounds = 6;

constexpr std::uint32_t rotl(std::uint32_t v, int c) {
    return (v << c) | (v >> (32 - c));
}

void quarter_round(std::uint32_t* s, int a, int b, int c, int d) {
    s[a] += s[b];
    s[d] = rotl(s[d] ^ s[a], 16);
    s[c] += s[d];
    s[b] = rotl(s[b] ^ s[c], 12);
    s[a] += s[b];
    s[d] = rotl(s[d] ^ s[a], 8);
    s[c] += s[d];
    s[b] = rotl(s[b] ^ s[c], 7);
}

void block(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out) {
    std::uint32_t input[16];
    for (int i = 0; i < 4; ++i) {
        input[i] = kSigma[i];
    }
    for (int i = 0; i < 8; ++i) {
        input[4 + i] = key[i];
    }
    input[12] = static_cast<std::uint32_t>(counter);
    input[13] = static_cast<std::uint32_t>(counter >> 32);
    input[14] = 0;
    input[15] = 0;
    std::uint32_t s[16];
    for (int i = 0; i < 16; ++i) {
        s[i] = input[i];
    }
    for (int round = 0; round < kDoubleRounds; ++round) {
        quarter_round(s, 0, 4, 8, 12);
        quarter_round(s, 1, 5, 9, 13);
        quarter_round(s, 2, 6, 10, 14);
        quarter_round(s, 3, 7, 11, 15);
        quarter_round(s, 0, 5, 10, 15);
        quarter_round(s, 1, 6, 11, 12);
        quarter_round(s, 2, 7, 8, 13);
        quarter_round(s, 3, 4, 9, 14);
    }
    for (int i = 0; i < 16; ++i) {
        out[i] = s[i] + input[i];
    }
}

}  // namespace

void chacha12_blocks_portable(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out,
                              std::size_t groups) {
    for (std::size_t b = 0; b < groups * kBlocksPerRefill; ++b) {
        block(key, counter + b, out + b * kBlockWords);
    }
}

}  // namespace kernels

namespace {

using Kernel = void (*)(const std::uint32_t*, std::uint64_t, std::uint32_t*, std::size_t);

Kernel choose_kernel() {
    switch (instruction_set()) {
        case InstructionSet::avx512:
            return kernels::chacha12_blocks_avx512;
        case InstructionSet::avx2:
            return kernels::chacha12_blocks_avx2;
        case InstructionSet::portable:
            break;
    }
    return kernels::chacha12_blocks_portable;
}

}  // namespace

void chacha12_blocks(const Key& key, std::uint64_t counter, std::span<std::uint32_t> out) {
    static const Kernel kernel = choose_kernel();
    kernel(key.data(), counter, out.data(), out.size() / kRefillWords);
}

}  // namespace mosswick::random
