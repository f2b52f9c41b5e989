#include "frame/ndarray.hpp"

#include "core/errors.hpp"
#include "frame/convert.hpp"

namespace mosswick::frame {

namespace {

constexpr const char* kHolderName = "mosswick.array_buffer";

// NumPy descriptors of the two element types, held for the life of the process.
PyObject* descriptor(int type_number) {
    static PyObject* float64 = nullptr;
    static PyObject* int64 = nullptr;
    PyObject*& slot = type_number == numpy::kFloat64 ? float64 : int64;
    if (slot == nullptr) {
        slot = numpy::api().descr_from_type(type_number);
        if (slot == nullptr) {
            throw PythonErrorSet{};
        }
    }
    return slot;
}

// Strides that are not whole elements, or a misaligned start, would make element
// reads land between elements: such arrays are refused rather than misread.
bool whole_elements(const numpy::ArrayFields* f) {
    constexpr auto kItem = static_cast<Py_ssize_t>(sizeof(double));
    if (reinterpret_cast<std::uintptr_t>(f->data) % kItem != 0) {
        return false;
    }
    for (int k = 0; k < f->nd; ++k) {
        if (f->dimensions[k] > 1 && f->strides[k] % kItem != 0) {
            return false;
        }
    }
    return true;
}

void free_holder(PyObject* holder) {
    free_aligned(PyCapsule_GetPointer(holder, kHolderName));
}

}  // namespace

int check_array(PyObject* object, int type_number, std::size_t rank) {
    const numpy::Api& np = numpy::api();
    const numpy::ArrayFields* f = numpy::fields(object);
    if (!PyObject_TypeCheck(object, np.array_type) ||
        (rank != kAnyRank && f->nd != static_cast<int>(rank)) ||
        !np.equiv_types(f->descr, descriptor(type_number))) {
        cannot_convert(object, "PyArray<T, D>");
        return -1;
    }
    if (!whole_elements(f)) {
        fail(PyExc_TypeError, "array data and strides must be whole multiples of its 8-byte elements");
        return -1;
    }
    if (f->nd > static_cast<int>(kMaxRank)) {
        throw InternalFailure("arrays of more than 32 dimensions are not supported");
    }
    return f->nd;
}

PyObject* new_array(AlignedBuffer<double>&& values, const std::size_t* shape, std::size_t rank) {
    const numpy::Api& np = numpy::api();
    Py_ssize_t dims[kMaxRank];
    for (std::size_t k = 0; k < rank; ++k) {
        if (shape[k] > static_cast<std::size_t>(PY_SSIZE_T_MAX)) {
            throw ValueError("ShapeError/Overflow: arithmetic overflow");
        }
        dims[k] = static_cast<Py_ssize_t>(shape[k]);
    }
    Ref holder(PyCapsule_New(values.data(), kHolderName, free_holder));
    if (!holder) {
        PyErr_Clear();
        throw InternalFailure("Failed to create slice container");
    }
    double* data = values.release();
    Ref array(np.new_from_descr(np.array_type, Py_NewRef(descriptor(numpy::kFloat64)), static_cast<int>(rank), dims,
                                nullptr, data, numpy::kWriteable, nullptr));
    if (!array) {
        return nullptr;
    }
    if (np.set_base_object(array.get(), holder.release()) < 0) {  // takes the holder in any case
        return nullptr;
    }
    return array.release();
}

}  // namespace mosswick::frame
