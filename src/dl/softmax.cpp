// Both functions run the row kernels of dl/softmax_kernels.cpp, in the build that
// evaluates exp as chosen by vecmath/vector_math_probe.hpp. Rows are processed in order
// on the calling thread, or whole rows per piece on the pool from the parallel
// threshold up.
#include "dl/softmax.hpp"

#include <cstddef>
#include <cstdint>

#include "core/errors.hpp"
#include "core/pool.hpp"
#include "vecmath/vector_math_probe.hpp"
#include "dl/softmax_kernels.hpp"

namespace mosswick::dl {

namespace {

const SoftmaxKernels& kernels() {
    return vecmath::kernels_for<SoftmaxKernels>(vecmath::Function::exp);
}

}  // namespace

NewArray<2> softmax(Matrix x) {
    if (!x.contiguous()) {
        throw ValueError("input must be C-contiguous");
    }
    const std::size_t classes = x.extent(1);
    auto out = AlignedBuffer<double>::uninitialized(x.size());
    const auto rows = kernels().softmax;
    const double* in = x.data();
    double* o = out.data();
    pool::loop(x.extent(0), [&](std::size_t begin, std::size_t end) { rows(in, o, classes, begin, end); });
    return {std::move(out), {x.extent(0), classes}};
}

// Row i of the gradient is (p - onehot(c)) / B for its probabilities p and target c;
// the loss is the mean of the rows' losses, added in row order from -0.0.
std::pair<double, NewArray<2>> softmax_cross_entropy(Matrix logits, Labels targets) {
    if (!logits.contiguous()) {
        throw ValueError("logits must be C-contiguous");
    }
    if (!targets.contiguous()) {
        throw ValueError("targets must be contiguous");
    }
    const std::size_t batch = logits.extent(0);
    const std::size_t classes = logits.extent(1);
    if (targets.size() != batch) {
        throw ValueError("targets length must match logits batch size");
    }
    const std::int64_t* target = targets.data();
    for (std::size_t i = 0; i < batch; ++i) {
        if (target[i] < 0 || static_cast<std::uint64_t>(target[i]) >= classes) {
            throw ValueError("target class index out of range for logits.shape[1]");
        }
    }
    const double b = static_cast<double>(batch);
    auto grad = AlignedBuffer<double>::uninitialized(batch * classes);
    auto losses = AlignedBuffer<double>::uninitialized(batch);
    const auto rows = kernels().cross_entropy;
    const double* in = logits.data();
    double* o = grad.data();
    double* loss = losses.data();
    pool::loop(batch, [&](std::size_t begin, std::size_t end) { rows(in, target, b, o, loss, classes, begin, end); });
    double total = -0.0;
    for (std::size_t i = 0; i < batch; ++i) {
        total += loss[i];
    }
    return {total / b, NewArray<2>{std::move(grad), {batch, classes}}};
}

}  // namespace mosswick::dl
