// Arrays as kernels see them: a borrowed view of a NumPy array (data pointer,
// extents, signed strides in elements, read in logical order whatever the
// layout), and a new array to hand back (a computed buffer and its shape).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "core/buffer.hpp"

namespace mosswick {

inline constexpr std::size_t kAnyRank = std::numeric_limits<std::size_t>::max();
inline constexpr std::size_t kMaxRank = 32;

// T is const for read-only views; D is the rank, or kAnyRank for 0 to kMaxRank.
template <class T, std::size_t D>
class ArrayView {
public:
    static constexpr std::size_t kCapacity = D == kAnyRank ? kMaxRank : D;

    ArrayView() = default;
    ArrayView(T* data, std::size_t rank, const std::size_t* extents, const std::ptrdiff_t* strides)
        : data_(data), rank_(rank) {
        for (std::size_t k = 0; k < rank; ++k) {
            extents_[k] = extents[k];
            strides_[k] = strides[k];
        }
    }

    T* data() const { return data_; }
    std::size_t rank() const { return rank_; }
    std::size_t extent(std::size_t axis) const { return extents_[axis]; }
    std::ptrdiff_t stride(std::size_t axis) const { return strides_[axis]; }

    std::size_t size() const {
        std::size_t n = 1;
        for (std::size_t k = 0; k < rank_; ++k) {
            n *= extents_[k];
        }
        return n;
    }

    // The elements lie next to each other in row-major order (empty views always do).
    bool contiguous() const {
        if (size() == 0) {
            return true;
        }
        std::ptrdiff_t expected = 1;
        for (std::size_t k = rank_; k-- > 0;) {
            if (extents_[k] != 1 && strides_[k] != expected) {
                return false;
            }
            expected *= static_cast<std::ptrdiff_t>(extents_[k]);
        }
        return true;
    }

    T& operator[](std::size_t i) const
        requires(D == 1)
    {
        return data_[static_cast<std::ptrdiff_t>(i) * strides_[0]];
    }

    T& operator()(std::size_t i, std::size_t j) const
        requires(D == 2)
    {
        return data_[static_cast<std::ptrdiff_t>(i) * strides_[0] + static_cast<std::ptrdiff_t>(j) * strides_[1]];
    }

    // f(element) for every element in logical row-major order, last axis fastest.
    template <class F>
    void for_each(F&& f) const {
        if (size() == 0) {
            return;
        }
        std::array<std::size_t, kCapacity> index{};
        T* p = data_;
        for (;;) {
            f(*p);
            std::size_t k = rank_;
            for (;;) {
                if (k == 0) {
                    return;
                }
                --k;
                p += strides_[k];
                if (++index[k] < extents_[k]) {
                    break;
                }
                p -= strides_[k] * static_cast<std::ptrdiff_t>(extents_[k]);
                index[k] = 0;
            }
        }
    }

private:
    T* data_ = nullptr;
    std::size_t rank_ = D == kAnyRank ? 0 : D;
    std::array<std::size_t, kCapacity> extents_{};
    std::array<std::ptrdiff_t, kCapacity> strides_{};
};

using Vector = ArrayView<const double, 1>;
using MutableVector = ArrayView<double, 1>;
using Matrix = ArrayView<const double, 2>;
using Labels = ArrayView<const std::int64_t, 1>;

// A new float64 array of shape `shape` whose row-major elements are `values`.
template <std::size_t D>
struct NewArray {
    AlignedBuffer<double> values;
    std::array<std::size_t, D> shape;
};

}  // namespace mosswick
