// The two draws made from either generator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "random/generators.hpp"

namespace mosswick::random {

// A multiple of 2^-53 in [0, 1), from the high 53 bits of one 64-bit word.
inline double uniform_from(std::uint64_t w) {
    return static_cast<double>(w >> 11) * 0x1.0p-53;
}

inline double draw_uniform(Generator& g) {
    return uniform_from(g.next_u64());
}

// out[k] = uniform_from(w) for each 64-bit word w of a run of Generator::for_each_run.
void uniforms_from_run(const std::uint32_t* words, std::size_t count, double* out);

// A standard normal value, by the 256-layer ziggurat; usually one 64-bit word.
double draw_standard_normal(Generator& g);

}  // namespace mosswick::random
