// The row kernels of softmax and of the fused cross-entropy, one build per instruction
// set; softmax.cpp picks the build with vecmath::kernels_for (vecmath/vector_math_probe.hpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/isa.hpp"

namespace mosswick::dl {

struct SoftmaxKernels {
    // For rows i in [begin, end) of the C-contiguous (rows, classes) matrices `in` and
    // `out`: out row i = the softmax of in row i.
    void (*softmax)(const double* in, double* out, std::size_t classes, std::size_t begin, std::size_t end);
    // The same, then with p_c = out[i][c] for c = target[i]: out row i divided by
    // `batch`, out[i][c] = (p_c - 1) / batch and loss[i] = -ln(max(p_c, 1e-15)).
    void (*cross_entropy)(const double* in, const std::int64_t* target, double batch, double* out, double* loss,
                          std::size_t classes, std::size_t begin, std::size_t end);

    template <Isa>
    static const SoftmaxKernels& build();
};

}  // namespace mosswick::dl
