#include "tensor/tensor.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "core/errors.hpp"

namespace mosswick::tensor {

Shape calculate_strides(const Shape& shape) {
    Shape strides(shape.size());
    if (!shape.empty()) {
        strides.back() = 1;
        for (std::size_t i = shape.size() - 1; i-- > 0;) {
            strides[i] = strides[i + 1] * shape[i + 1];
        }
    }
    return strides;
}

std::size_t element_count(const Shape& shape) {
    std::uint64_t product = 1;
    bool empty = false;
    for (std::uint64_t extent : shape) {
        if (extent == 0) {
            empty = true;
        } else if (__builtin_mul_overflow(product, extent, &product)) {
            throw OverflowError("Tensor shape is too large: the product of its extents does not fit in 64 bits.");
        }
    }
    return empty ? 0 : product;
}

Tensor::Tensor(Shape shape, AlignedBuffer<double> values) : Tensor(std::move(shape), SharedBuffer(std::move(values))) {}

Tensor::Tensor(Shape shape, SharedBuffer data)
    : shape_(std::move(shape)), strides_(calculate_strides(shape_)), data_(std::move(data)) {
    if (data_.size() != element_count(shape_)) {
        throw InternalFailure("tensor buffer of " + std::to_string(data_.size()) + " elements does not match its shape");
    }
}

Tensor Tensor::reshaped(Shape shape) const {
    return Tensor(std::move(shape), data_);
}

Tensor from_array(ArrayView<const double, kAnyRank> array) {
    Shape shape(array.rank());
    for (std::size_t k = 0; k < array.rank(); ++k) {
        shape[k] = array.extent(k);
    }
    auto values = AlignedBuffer<double>::uninitialized(array.size());
    if (array.contiguous()) {
        std::copy_n(array.data(), values.size(), values.data());
    } else {
        double* out = values.data();
        array.for_each([&](double x) { *out++ = x; });
    }
    return Tensor(std::move(shape), std::move(values));
}

Shape shape_of(const Tensor& t) {
    return t.shape();
}

Shape strides_of(const Tensor& t) {
    return t.strides();
}

NewArray<1> data_of(const Tensor& t) {
    auto values = AlignedBuffer<double>::uninitialized(t.size());
    std::copy_n(t.data(), t.size(), values.data());
    return {std::move(values), {t.size()}};
}

Tensor reshape(const Tensor& t, Shape new_shape) {
    if (element_count(new_shape) != t.size()) {
        throw ValueError("Total number of elements cannot change during reshape.");
    }
    return t.reshaped(std::move(new_shape));
}

NestedList<double> to_list(const Tensor& t) {
    auto values = AlignedBuffer<double>::uninitialized(t.size());
    std::copy_n(t.data(), t.size(), values.data());
    return {{t.shape().begin(), t.shape().end()}, std::move(values)};
}

}  // namespace mosswick::tensor
