// The stream kernels, written once at the build's vector width; the build compiles
// this body once per instruction set (see core/isa.hpp).
//
// ChaCha: a register holds one row of the state (four words) for each of the
// kBlocks blocks side by side, one block per 128-bit lane. The diagonal round
// rotates rows b, c and d within their lanes so that it becomes a column round.
// Two sets of blocks run interleaved, since one set's rounds are a single chain
// of dependent instructions.
#include <cstddef>
#include <cstdint>

#include "core/simd.hpp"
#include "random/stream_kernels.hpp"

namespace mosswick::random {
namespace {

using Words = simd::Vec<std::uint32_t>;
constexpr std::size_t kWordLanes = simd::kLanes<std::uint32_t>;
constexpr std::size_t kBlocks = kWordLanes / 4;  // blocks per register
constexpr int kDoubleRounds = 6;
constexpr std::uint32_t kSigma[4] = {0x61707865, 0x3320646E, 0x79622D32, 0x6B206574};

struct Rows {
    Words a, b, c, d;
};

// v rotated left by C bits in every word: AVX-512 rotates words natively; AVX2
// rotates by whole bytes with one byte shuffle; SSE2 rotates by 16 by swapping
// halves; the rest is two shifts.
template <int C>
inline Words rotl(Words v) {
    if constexpr (simd::kIsa == Isa::avx2 && C % 8 == 0) {
        constexpr auto pick = [](std::size_t i) { return (i & ~std::size_t{3}) | ((i - C / 8) & 3); };
        return reinterpret_cast<Words>(simd::shuffle<pick>(reinterpret_cast<simd::Vec<std::uint8_t>>(v)));
    } else if constexpr (simd::kIsa == Isa::portable && C == 16) {
        constexpr auto pick = [](std::size_t i) { return i ^ 1; };
        return reinterpret_cast<Words>(simd::shuffle<pick>(reinterpret_cast<simd::Vec<std::uint16_t>>(v)));
    } else {
        return (v << C) | (v >> (32 - C));
    }
}

// Each lane's four words rotated down by R places: word i of a lane takes word i + R.
template <std::size_t R>
inline Words rotate_lanes(Words v) {
    constexpr auto pick = [](std::size_t i) { return (i & ~std::size_t{3}) | ((i + R) & 3); };
    return simd::shuffle<pick>(v);
}

inline void quarter_rounds(Rows& x) {
    x.a += x.b;
    x.d = rotl<16>(x.d ^ x.a);
    x.c += x.d;
    x.b = rotl<12>(x.b ^ x.c);
    x.a += x.b;
    x.d = rotl<8>(x.d ^ x.a);
    x.c += x.d;
    x.b = rotl<7>(x.b ^ x.c);
}

inline void double_round(Rows& x) {
    quarter_rounds(x);
    x.b = rotate_lanes<1>(x.b);
    x.c = rotate_lanes<2>(x.c);
    x.d = rotate_lanes<3>(x.d);
    quarter_rounds(x);
    x.b = rotate_lanes<3>(x.b);
    x.c = rotate_lanes<2>(x.c);
    x.d = rotate_lanes<1>(x.d);
}

// A vector whose lanes repeat the four words at p.
inline Words repeat4(const std::uint32_t* p) {
    Words v;
    for (std::size_t i = 0; i < kWordLanes; ++i) {
        v[i] = p[i % 4];
    }
    return v;
}

// The input state of blocks counter .. counter + kBlocks - 1 (stream 0; the 64-bit
// counter carries into word 13): in row d, lane j's 64-bit halves are counter + j
// and zero.
inline Rows input(const Rows& fixed, std::uint64_t counter) {
    using Counters = simd::Vec<std::uint64_t>;
    Counters step;
    for (std::size_t i = 0; i < kWordLanes / 2; ++i) {
        step[i] = i % 2 == 0 ? i / 2 : 0;
    }
    Counters even;
    for (std::size_t i = 0; i < kWordLanes / 2; ++i) {
        even[i] = i % 2 == 0 ? ~std::uint64_t{0} : 0;
    }
    const Counters d = (simd::splat<Counters>(counter) + step) & even;
    return {fixed.a, fixed.b, fixed.c, reinterpret_cast<Words>(d)};
}

// Adds the input and writes each block's sixteen words in order.
inline void finish(const Rows& x, const Rows& in, std::uint32_t* out) {
    const Words rows[4] = {x.a + in.a, x.b + in.b, x.c + in.c, x.d + in.d};
    for (std::size_t block = 0; block < kBlocks; ++block) {
        for (std::size_t r = 0; r < 4; ++r) {
            __builtin_memcpy(out + 16 * block + 4 * r, reinterpret_cast<const std::uint32_t*>(&rows[r]) + 4 * block,
                             4 * sizeof(std::uint32_t));
        }
    }
}

// N sets of kBlocks blocks from block `counter` on, their rounds interleaved.
template <std::size_t N>
inline void sets_side_by_side(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out) {
    const Rows fixed{repeat4(kSigma), repeat4(key), repeat4(key + 4), Words{}};
    Rows in[N];
    Rows x[N];
    for (std::size_t s = 0; s < N; ++s) {
        in[s] = input(fixed, counter + s * kBlocks);
        x[s] = in[s];
    }
    for (int round = 0; round < kDoubleRounds; ++round) {
        for (std::size_t s = 0; s < N; ++s) {
            double_round(x[s]);
        }
    }
    for (std::size_t s = 0; s < N; ++s) {
        finish(x[s], in[s], out + 16 * kBlocks * s);
    }
}

void chacha12_blocks(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out, std::size_t groups) {
    std::size_t blocks = 4 * groups;  // a multiple of kBlocks
    for (; blocks >= 2 * kBlocks; blocks -= 2 * kBlocks, counter += 2 * kBlocks, out += 32 * kBlocks) {
        sets_side_by_side<2>(key, counter, out);
    }
    if (blocks != 0) {
        sets_side_by_side<1>(key, counter, out);
    }
}

// The word's top 53 bits as an integer, scaled by 2^-53: exact, so the same bits
// however the conversion is done. Without AVX-512's unsigned conversion, the
// integer is taken in two parts of at most 32 bits, each made exact by placing its
// bits under the exponent of 2^52.
void uniforms(const std::uint32_t* words, std::size_t count, double* out) {
    using Doubles = simd::Vec<double>;
    using Bits = simd::Vec<std::uint64_t>;
    constexpr std::size_t kLanes = simd::kLanes<double>;
    const Doubles scale = simd::splat<Doubles>(0x1.0p-53);
    std::size_t k = 0;
    for (; k + kLanes <= count; k += kLanes) {
        // Two 32-bit words, low half first, are one little-endian 64-bit word.
        const Bits x = simd::load<Bits>(words + 2 * k) >> 11;
        Doubles value;
        if constexpr (simd::kIsa == Isa::avx512) {
            value = __builtin_convertvector(x, Doubles);
        } else {
            const Bits exponent = simd::splat<Bits>(std::uint64_t{0x4330000000000000});
            const Doubles two52 = simd::splat<Doubles>(0x1.0p52);
            const Doubles high = reinterpret_cast<Doubles>((x >> 32) | exponent) - two52;
            const Doubles low = reinterpret_cast<Doubles>((x & 0xffffffffu) | exponent) - two52;
            value = high * simd::splat<Doubles>(0x1.0p32) + low;
        }
        simd::store(out + k, value * scale);
    }
    for (; k < count; ++k) {
        const std::uint64_t word = words[2 * k] | std::uint64_t{words[2 * k + 1]} << 32;
        out[k] = static_cast<double>(word >> 11) * 0x1.0p-53;
    }
}

constexpr StreamKernels kStreamKernels{&chacha12_blocks, &uniforms};

}  // namespace

template <>
const StreamKernels& StreamKernels::build<Isa::MOSSWICK_ISA>() {
    return kStreamKernels;
}

}  // namespace mosswick::random
