// NumPy arrays across the boundary: views of array arguments, entered in the
// borrow registry for the length of the call, and new arrays built from buffers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/ndview.hpp"
#include "frame/arg.hpp"
#include "frame/borrows.hpp"
#include "frame/holds.hpp"
#include "frame/numpy_api.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"

namespace mosswick::frame {

// Checks kind, rank and dtype of an array argument. Returns the array's rank, or -1
// with a TypeError set.
int check_array(PyObject* object, int type_number, std::size_t rank);

template <class T, std::size_t D>
struct Arg<ArrayView<T, D>> : Hold {
    using Element = std::remove_const_t<T>;
    static_assert(std::is_same_v<Element, double> || std::is_same_v<Element, std::int64_t>);
    static constexpr numpy::Access kAccess = std::is_const_v<T> ? numpy::Access::read : numpy::Access::write;

    numpy::Borrow borrow;
    ArrayView<T, D> view;

    ~Arg() { end(); }

    bool load(PyObject* object) {
        const int rank = check_array(object, std::is_same_v<Element, double> ? numpy::kFloat64 : numpy::kInt64, D);
        if (rank < 0) {
            return false;
        }
        borrow.take(object, kAccess);
        enter([](Hold& hold) { static_cast<Arg&>(hold).borrow.give_back(); });
        const numpy::ArrayFields* f = numpy::fields(object);
        std::array<std::size_t, ArrayView<T, D>::kCapacity> extents{};
        std::array<std::ptrdiff_t, ArrayView<T, D>::kCapacity> strides{};
        for (int k = 0; k < rank; ++k) {
            extents[k] = static_cast<std::size_t>(f->dimensions[k]);
            strides[k] = f->dimensions[k] > 1 ? f->strides[k] / static_cast<Py_ssize_t>(sizeof(T)) : 0;
        }
        view = ArrayView<T, D>(reinterpret_cast<T*>(f->data), static_cast<std::size_t>(rank), extents.data(),
                               strides.data());
        return true;
    }

    ArrayView<T, D> get() { return view; }
};

// Whether an argument holder takes an array it writes.
template <class H>
inline constexpr bool kWritesArray = false;
template <class T, std::size_t D>
inline constexpr bool kWritesArray<Arg<ArrayView<T, D>>> = !std::is_const_v<T>;

// Builds a new C-contiguous float64 array that owns `values`.
PyObject* new_array(AlignedBuffer<double>&& values, const std::size_t* shape, std::size_t rank);

template <std::size_t D>
struct Result<NewArray<D>> {
    static PyObject* build(NewArray<D>&& array) { return new_array(std::move(array.values), array.shape.data(), D); }
};

}  // namespace mosswick::frame
