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

// Checks kind, rank and dtype of an array argument and enters it in the registry.
// Returns the array's rank, or -1 with a TypeError set.
int check_array(PyObject* object, int type_number, std::size_t rank, numpy::Access access);

template <class T, std::size_t D>
struct Arg<ArrayView<T, D>> : Hold {
    using Element = std::remove_const_t<T>;
    static_assert(std::is_same_v<Element, double> || std::is_same_v<Element, std::int64_t>);
    static constexpr numpy::Access kAccess = std::is_const_v<T> ? numpy::Access::read : numpy::Access::write;

    Ref array;  // registered while set
    ArrayView<T, D> view;

    ~Arg() { end(); }

    bool load(PyObject* object) {
        const int rank =
            check_array(object, std::is_same_v<Element, double> ? numpy::kFloat64 : numpy::kInt64, D, kAccess);
        if (rank < 0) {
            return false;
        }
        array = Ref::borrow(object);
        enter([](Hold& hold) {
            const Arg& arg = static_cast<Arg&>(hold);
            numpy::release(arg.array.get(), kAccess);
        });
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
    numpy::Taken taken() const { return {array.get(), kAccess}; }
};

// Which argument holders take arrays, and which of those write them.
template <class H>
struct ArrayArgOf {
    static constexpr bool array = false;
    static constexpr bool written = false;
};
template <class T, std::size_t D>
struct ArrayArgOf<Arg<ArrayView<T, D>>> {
    static constexpr bool array = true;
    static constexpr bool written = !std::is_const_v<T>;
};

// Builds a new C-contiguous float64 array that owns `values`.
PyObject* new_array(AlignedBuffer<double>&& values, const std::size_t* shape, std::size_t rank);

template <std::size_t D>
struct Result<NewArray<D>> {
    static PyObject* build(NewArray<D>&& array) { return new_array(std::move(array.values), array.shape.data(), D); }
};

}  // namespace mosswick::frame
