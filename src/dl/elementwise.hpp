// The one loop behind every element-wise map over a 1-D view. block(in, out, count)
// computes `count` consecutive results from `count` consecutive inputs. A contiguous
// view is handed over in place: in one call below the parallel threshold, in pieces
// on the pool from it up. A strided view is read in logical order, in blocks copied
// to the stack, sequentially on the calling thread. Results never depend on the path.
#pragma once

#include <algorithm>
#include <cstddef>

#include "core/ndview.hpp"
#include "core/pool.hpp"

namespace mosswick::dl {

template <class Block>
NewArray<1> map_elements(Vector x, Block block) {
    const std::size_t n = x.size();
    auto out = AlignedBuffer<double>::uninitialized(n);
    double* o = out.data();
    if (x.contiguous()) {
        const double* in = x.data();
        pool::loop(n, [&](std::size_t begin, std::size_t end) { block(in + begin, o + begin, end - begin); });
    } else {
        constexpr std::size_t kBlock = 256;
        double values[kBlock];
        for (std::size_t i = 0; i < n; i += kBlock) {
            const std::size_t count = std::min(kBlock, n - i);
            for (std::size_t j = 0; j < count; ++j) {
                values[j] = x[i + j];
            }
            block(values, o + i, count);
        }
    }
    return {std::move(out), {n}};
}

}  // namespace mosswick::dl
