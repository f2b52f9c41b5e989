// Tensor: an n-dimensional array of doubles in row-major order. The shape and its
// derived strides belong to one tensor and never change; the element buffer may be
// shared by tensors made with reshape and is copied before any in-place change
// while it is shared, so every tensor behaves as the sole owner of its elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/ndview.hpp"
#include "core/nested.hpp"
#include "tensor/shared_buffer.hpp"

namespace mosswick::tensor {

using Shape = std::vector<std::uint64_t>;

// Row-major strides in elements: the last is 1, each other the next one times the next extent.
Shape calculate_strides(const Shape& shape);

// The number of elements of a shape (1 for rank 0). Throws OverflowError when the product
// of its non-zero extents exceeds 64 bits, which also keeps every stride exact.
std::size_t element_count(const Shape& shape);

class Tensor {
public:
    // A tensor of `shape` holding `values`, which are its element_count(shape) elements.
    Tensor(Shape shape, AlignedBuffer<double> values);

    const Shape& shape() const { return shape_; }
    const Shape& strides() const { return strides_; }
    std::size_t rank() const { return shape_.size(); }
    std::size_t size() const { return data_.size(); }
    const double* data() const { return data_.data(); }
    // The elements, writable; the buffer is made private to this tensor first.
    double* mutable_data() { return data_.exclusive(); }

    // The same elements under another shape of the same element count, sharing the buffer.
    Tensor reshaped(Shape shape) const;

private:
    Tensor(Shape shape, SharedBuffer data);

    Shape shape_;
    Shape strides_;
    SharedBuffer data_;
};

// Construction and inspection (interpreter lock held).
Tensor from_array(ArrayView<const double, kAnyRank> array);
Shape shape_of(const Tensor& t);
Shape strides_of(const Tensor& t);
NewArray<1> data_of(const Tensor& t);
Tensor reshape(const Tensor& t, Shape new_shape);
NestedList<double> to_list(const Tensor& t);

// Element-wise operations, in parallel from the pool's threshold (lock released).
Tensor add(const Tensor& self, const Tensor& other);
Tensor sub(const Tensor& self, const Tensor& other);
Tensor mul_elementwise(const Tensor& self, const Tensor& other);
Tensor mul_scalar(const Tensor& self, double scalar);
Tensor relu_derivative(const Tensor& self);
void relu_inplace(Tensor& self);
void add_bias_inplace(Tensor& self, Vector bias);

// Random tensors: uniform on [0, 1) and standard normal, from a seed's stream in index
// order, or unseeded from the pool workers' own generators (lock released).
Tensor rand(Shape shape, std::optional<std::uint64_t> seed);
Tensor randn(Shape shape, std::optional<std::uint64_t> seed);

// The matrix product of two rank-2 tensors, either read transposed (lock released).
Tensor matmul(const Tensor& self, const Tensor& other, bool transpose_a, bool transpose_b);

}  // namespace mosswick::tensor
