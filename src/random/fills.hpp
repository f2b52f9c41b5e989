// How seeded and unseeded routines split their draws between generators, and the
// two fills of a buffer with uniform or standard normal values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/pool.hpp"
#include "random/generators.hpp"

namespace mosswick::random {

// Calls body(generator, begin, end) for ranges that cover [0, n) once each; the body
// takes one draw after another for the indices of its range, in increasing order.
// With a seed: one call over the whole range, on the calling thread, with a fresh
// SeededGenerator, so index i takes the i-th draw of the seed's stream. Without: on
// the pool whatever n is, each piece with the ThreadGenerator of the worker running it.
template <class Body>
void for_each_draw_range(std::size_t n, std::optional<std::uint64_t> seed, Body&& body) {
    if (seed) {
        SeededGenerator generator(*seed);
        body(static_cast<Generator&>(generator), std::size_t{0}, n);
    } else {
        pool::for_range(n, [&](std::size_t begin, std::size_t end) {
            body(static_cast<Generator&>(ThreadGenerator::current()), begin, end);
        });
    }
}

// out[i] = draw_uniform, or draw_standard_normal, split between generators as above.
void fill_uniform(std::span<double> out, std::optional<std::uint64_t> seed);
void fill_standard_normal(std::span<double> out, std::optional<std::uint64_t> seed);

}  // namespace mosswick::random
