// Element-wise and in-place operations over the flat row-major buffers. Each loop
// runs on the calling thread below the pool's threshold and on the pool from it,
// with the same per-element code, so the results never depend on the path.
#include <string>
#include <utility>

#include "core/errors.hpp"
#include "core/pool.hpp"
#include "tensor/tensor.hpp"

namespace mosswick::tensor {

namespace {

// A new tensor of self's shape whose element i is f(i).
template <class F>
Tensor map_elements(const Tensor& self, F f) {
    auto values = AlignedBuffer<double>::uninitialized(self.size());
    double* out = values.data();
    pool::loop(self.size(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            out[i] = f(i);
        }
    });
    return Tensor(self.shape(), std::move(values));
}

template <class Op>
Tensor combine(const Tensor& self, const Tensor& other, const char* mismatch, Op op) {
    if (self.shape() != other.shape()) {
        throw ValueError(mismatch);
    }
    const double* x = self.data();
    const double* y = other.data();
    return map_elements(self, [=](std::size_t i) { return op(x[i], y[i]); });
}

}  // namespace

Tensor add(const Tensor& self, const Tensor& other) {
    return combine(self, other, "Shapes must match for element-wise addition.",
                   [](double x, double y) { return x + y; });
}

Tensor sub(const Tensor& self, const Tensor& other) {
    return combine(self, other, "Shapes must match for subtraction.", [](double x, double y) { return x - y; });
}

Tensor mul_elementwise(const Tensor& self, const Tensor& other) {
    return combine(self, other, "Shapes must match for element-wise multiplication.",
                   [](double x, double y) { return x * y; });
}

Tensor mul_scalar(const Tensor& self, double scalar) {
    const double* x = self.data();
    return map_elements(self, [=](std::size_t i) { return x[i] * scalar; });
}

Tensor relu_derivative(const Tensor& self) {
    const double* x = self.data();
    return map_elements(self, [=](std::size_t i) { return x[i] > 0.0 ? 1.0 : 0.0; });
}

void relu_inplace(Tensor& self) {
    double* x = self.mutable_data();
    pool::loop(self.size(), [=](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            x[i] = x[i] < 0.0 ? 0.0 : x[i];  // keeps -0.0 and NaN
        }
    });
}

void add_bias_inplace(Tensor& self, Vector bias) {
    if (self.rank() < 2) {
        throw InternalFailure("add_bias_inplace: a tensor of rank " + std::to_string(self.rank()) +
                              " has no second dimension");
    }
    const std::size_t cols = self.shape()[1];
    if (!bias.contiguous()) {
        throw ValueError("Bias array must be contiguous.");
    }
    if (bias.size() != cols) {
        throw ValueError("Bias length must match the second dimension of the tensor: " + std::to_string(bias.size()) +
                         " vs " + std::to_string(cols) + ".");
    }
    // Beyond rank 2 "rows of the second extent" has no single meaning: refused.
    if (self.rank() > 2) {
        throw ValueError("add_bias_inplace requires a rank-2 tensor.");
    }
    const double* b = bias.data();
    double* x = self.mutable_data();
    auto add_rows = [=](std::size_t first, std::size_t end) {
        for (std::size_t r = first; r < end; ++r) {
            double* row = x + r * cols;
            for (std::size_t j = 0; j < cols; ++j) {
                row[j] += b[j];
            }
        }
    };
    pool::loop(self.shape()[0], add_rows, self.size());
}

}  // namespace mosswick::tensor
