#include <string>
#include <utility>

#include "core/errors.hpp"
#include "tensor/gemm.hpp"
#include "tensor/tensor.hpp"

namespace mosswick::tensor {

namespace {

// A rank-2 tensor as a GEMM operand, transposed by swapping its two strides.
StridedMatrix operand(const Tensor& t, bool transpose) {
    const std::size_t row = t.strides()[0];
    return transpose ? StridedMatrix{t.data(), 1, row} : StridedMatrix{t.data(), row, 1};
}

}  // namespace

Tensor matmul(const Tensor& self, const Tensor& other, bool transpose_a, bool transpose_b) {
    if (self.rank() != 2 || other.rank() != 2) {
        throw ValueError("matmul requires rank-2 tensors.");
    }
    const std::size_t m = self.shape()[transpose_a ? 1 : 0];
    const std::size_t ka = self.shape()[transpose_a ? 0 : 1];
    const std::size_t kb = other.shape()[transpose_b ? 1 : 0];
    const std::size_t n = other.shape()[transpose_b ? 0 : 1];
    if (ka != kb) {
        throw ValueError("Dimension mismatch for multiplication: " + std::to_string(ka) + " vs " +
                         std::to_string(kb) + ".");
    }
    Shape shape{m, n};
    auto values = AlignedBuffer<double>::uninitialized(element_count(shape));
    gemm(m, ka, n, operand(self, transpose_a), operand(other, transpose_b), values.data(), n);
    return Tensor(std::move(shape), std::move(values));
}

}  // namespace mosswick::tensor
