#include "random/fills.hpp"
#include "tensor/tensor.hpp"

namespace mosswick::tensor {

Tensor rand(Shape shape, std::optional<std::uint64_t> seed) {
    auto values = AlignedBuffer<double>::uninitialized(element_count(shape));
    random::fill_uniform(values.span(), seed);
    return Tensor(std::move(shape), std::move(values));
}

Tensor randn(Shape shape, std::optional<std::uint64_t> seed) {
    auto values = AlignedBuffer<double>::uninitialized(element_count(shape));
    random::fill_standard_normal(values.span(), seed);
    return Tensor(std::move(shape), std::move(values));
}

}  // namespace mosswick::tensor
