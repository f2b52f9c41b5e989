// NumPy's C interface, located at run time from its _ARRAY_API capsule. Only the
// few entry points and struct fields used here are declared; no NumPy headers.
#pragma once

#include <cstdint>

#include "frame/python.hpp"

namespace mosswick::frame::numpy {

// NumPy type numbers and flags used here.
inline constexpr int kFloat64 = 12;  // NPY_DOUBLE
inline constexpr int kInt64 = 7;     // NPY_LONG (64 bits on the platforms this module builds for)
inline constexpr int kWriteable = 0x0400;

struct Api {
    PyTypeObject* array_type;
    PyObject* (*descr_from_type)(int);
    unsigned char (*equiv_types)(PyObject*, PyObject*);
    PyObject* (*new_from_descr)(PyTypeObject*, PyObject*, int, const Py_ssize_t*, const Py_ssize_t*, void*, int,
                                PyObject*);
    int (*set_base_object)(PyObject*, PyObject*);
    unsigned feature_version;
    PyObject* multiarray;  // numpy.core.multiarray or numpy._core.multiarray
};

// The interface, located on first use and cached; throws InternalFailure when NumPy
// cannot be imported or its capsule read (and tries again on the next call).
const Api& api();

// The layout shared by every NumPy version (PyArrayObject_fields).
struct ArrayFields {
    PyObject_HEAD
    char* data;
    int nd;
    Py_ssize_t* dimensions;
    Py_ssize_t* strides;
    PyObject* base;
    PyObject* descr;
    int flags;
};

inline ArrayFields* fields(PyObject* array) {
    return reinterpret_cast<ArrayFields*>(array);
}

// The item size of an array's dtype; its place in the descriptor moved in NumPy 2.
Py_ssize_t item_size(PyObject* array);

}  // namespace mosswick::frame::numpy
