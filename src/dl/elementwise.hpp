// The one loop behind every element-wise map over a 1-D view: sequential below
// the parallel threshold or for strided views, on the pool otherwise, with the
// same per-element code on both paths.
#pragma once

#include <cstddef>

#include "core/ndview.hpp"
#include "core/pool.hpp"

namespace mosswick::dl {

template <class F>
NewArray<1> map_elements(Vector x, F f) {
    const std::size_t n = x.size();
    auto out = AlignedBuffer<double>::uninitialized(n);
    double* o = out.data();
    if (x.contiguous()) {
        const double* in = x.data();
        auto body = [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                o[i] = f(in[i]);
            }
        };
        pool::loop(n, body);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            o[i] = f(x[i]);
        }
    }
    return {std::move(out), {n}};
}

}  // namespace mosswick::dl
