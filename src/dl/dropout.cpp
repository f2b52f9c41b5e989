#include "dl/dropout.hpp"

#include <bit>

#include "core/errors.hpp"
#include "random/draws.hpp"
#include "random/fills.hpp"

namespace mosswick::dl {

namespace {

// out[k] = in[k] * scale where u[k] < keep, and +0.0 elsewhere, whatever in[k] is.
// The choice is a mask over the bits, not a branch: whether an element is kept is a
// coin toss that no branch predictor could learn.
void apply_mask(const double* u, const double* in, double* out, std::size_t count, double keep, double scale) {
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint64_t kept = std::bit_cast<std::uint64_t>(in[k] * scale);
        const std::uint64_t mask = std::uint64_t{0} - (u[k] < keep);
        out[k] = std::bit_cast<double>(kept & mask);
    }
}

}  // namespace

NewArray<1> dropout(Vector x, double p, std::optional<std::uint64_t> seed) {
    if (!(p >= 0.0 && p < 1.0)) {
        throw ValueError("dropout probability p must be in [0, 1)");
    }
    if (!x.contiguous()) {
        throw ValueError("input must be contiguous");
    }
    const double keep = 1.0 - p;
    const double scale = 1.0 / keep;
    const std::size_t n = x.size();
    auto out = AlignedBuffer<double>::uninitialized(n);
    // The draws of a whole run first, then the masking of its elements.
    auto body = [in = x.data(), o = out.data(), keep, scale](random::Generator& g, std::size_t begin,
                                                            std::size_t end) {
        std::size_t i = begin;
        g.for_each_run(end - begin, [&](const std::uint32_t* words, std::size_t count) {
            double u[random::Generator::kMaxRun];
            random::uniforms_from_run(words, count, u);
            apply_mask(u, in + i, o + i, count, keep, scale);
            i += count;
        });
    };
    random::for_each_draw_range(n, seed, body);
    return {std::move(out), {n}};
}

}  // namespace mosswick::dl
