// The vector kernels of the random streams, one build per instruction set;
// dispatch<StreamKernels>() gives the running processor's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/isa.hpp"

namespace mosswick::random {

struct StreamKernels {
    // The ChaCha12 block function. key: 8 words; out: `groups` groups of four blocks
    // (64 words each) from block `counter` on.
    void (*chacha12_blocks)(const std::uint32_t* key, std::uint64_t counter, std::uint32_t* out,
                            std::size_t groups);
    // out[k] = draw_uniform's value for the 64-bit word whose halves are words[2k] (low)
    // and words[2k + 1] (high), for k < count.
    void (*uniforms)(const std::uint32_t* words, std::size_t count, double* out);

    template <Isa>
    static const StreamKernels& build();
};

}  // namespace mosswick::random
