#include "random/fills.hpp"

#include "random/draws.hpp"

namespace mosswick::random {

void fill_uniform(std::span<double> out, std::optional<std::uint64_t> seed) {
    for_each_draw_range(out.size(), seed, [o = out.data()](Generator& g, std::size_t begin, std::size_t end) {
        double* next = o + begin;
        g.for_each_run(end - begin, [&next](const std::uint32_t* words, std::size_t count) {
            uniforms_from_run(words, count, next);
            next += count;
        });
    });
}

void fill_standard_normal(std::span<double> out, std::optional<std::uint64_t> seed) {
    for_each_draw_range(out.size(), seed, [o = out.data()](Generator& g, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            o[i] = draw_standard_normal(g);
        }
    });
}

}  // namespace mosswick::random
