#include "frame/convert.hpp"

#include <algorithm>
#include <limits>

#include "frame/failure.hpp"
#include "frame/ref.hpp"

namespace mosswick::frame {

std::string type_name(PyObject* object) {
    const Ref name(PyType_GetQualName(Py_TYPE(object)));
    const char* utf8 = name ? PyUnicode_AsUTF8AndSize(name.get(), nullptr) : nullptr;
    if (utf8 == nullptr) {
        PyErr_Clear();
        return "?";
    }
    return utf8;
}

bool cannot_convert(PyObject* object, std::string_view target) {
    std::string text = "'";
    text += type_name(object);
    text += "' object cannot be converted to '";
    text += target;
    text += '\'';
    return fail(PyExc_TypeError, text);
}

bool Convert<std::int32_t>::from(PyObject* object, std::int32_t& out) {
    std::int64_t wide = 0;
    if (!Convert<std::int64_t>::from(object, wide)) {
        return false;
    }
    if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max()) {
        return fail(PyExc_OverflowError, "out of range integral type conversion attempted");
    }
    out = static_cast<std::int32_t>(wide);
    return true;
}

bool Convert<std::uint64_t>::from(PyObject* object, std::uint64_t& out) {
    const Ref index(PyLong_Check(object) ? Py_NewRef(object) : PyNumber_Index(object));
    if (!index) {
        return false;
    }
    const unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr) {
        return false;
    }
    out = value;
    return true;
}

namespace {

// A type named exactly `name` in module "numpy" (the name is read first: it runs no code).
bool numpy_type_named(PyTypeObject* type, const char* name) {
    const Ref type_name(PyType_GetName(type));
    if (!type_name) {
        PyErr_Clear();
        return false;
    }
    if (PyUnicode_CompareWithASCIIString(type_name.get(), name) != 0) {
        return false;
    }
    const Ref module(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__"));
    if (!module) {
        PyErr_Clear();
        return false;
    }
    return PyUnicode_Check(module.get()) && PyUnicode_CompareWithASCIIString(module.get(), "numpy") == 0;
}

// The NumPy 1 boolean scalar: module "numpy", type name exactly "bool_".
bool is_numpy1_bool(PyObject* object) {
    return numpy_type_named(Py_TYPE(object), "bool_");
}

}  // namespace

bool Convert<bool>::from(PyObject* object, bool& out) {
    if (object == Py_True || object == Py_False) {
        out = object == Py_True;
        return true;
    }
    if (!is_numpy1_bool(object)) {
        return cannot_convert(object, "PyBool");
    }
    const Ref method(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__bool__"));
    if (!method) {
        PyErr_Clear();
        return fail(PyExc_TypeError,
                    "object of type '" + type_name(object) + "' does not define a '__bool__' conversion");
    }
    const Ref result(PyObject_CallFunctionObjArgs(method.get(), object, nullptr));
    if (!result) {
        return false;
    }
    const bool ok = result.get() == Py_True || result.get() == Py_False;
    out = result.get() == Py_True;
    return ok || fail(PyExc_TypeError, "__bool__ should return bool");
}

bool Convert<std::string_view>::from(PyObject* object, std::string_view& out) {
    if (!PyUnicode_Check(object)) {
        return cannot_convert(object, "PyString");
    }
    Py_ssize_t length = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(object, &length);
    if (utf8 == nullptr) {
        return false;
    }
    out = std::string_view(utf8, static_cast<std::size_t>(length));
    return true;
}

bool Convert<std::optional<std::uint64_t>>::from(PyObject* object, std::optional<std::uint64_t>& out) {
    if (object == Py_None) {
        out.reset();
        return true;
    }
    std::uint64_t value = 0;
    if (!Convert<std::uint64_t>::from(object, value)) {
        return false;
    }
    out = value;
    return true;
}

namespace detail {

Py_ssize_t check_sequence(PyObject* object) {
    if (PyUnicode_Check(object)) {
        fail(PyExc_TypeError, "Can't extract `str` to `Vec`");
        return -1;
    }
    if (!PySequence_Check(object)) {
        cannot_convert(object, "Sequence");
        return -1;
    }
    Py_ssize_t size = PySequence_Size(object);
    if (size < 0) {
        PyErr_Clear();
        size = 0;
    }
    // A __len__ may claim more than the object yields; reserve no more than a modest amount up front.
    constexpr Py_ssize_t kTrustedReserve = Py_ssize_t{1} << 20;
    return (PyList_CheckExact(object) || PyTuple_CheckExact(object)) ? size : std::min(size, kTrustedReserve);
}

namespace {

// Exactly numpy.ndarray: a subclass may iterate differently from its buffer.
bool is_numpy_array(PyObject* object) {
    return numpy_type_named(Py_TYPE(object), "ndarray");
}

// The buffer format of native 64-bit items: 'l' or 'q' for integers, 'd' for doubles.
bool native_64bit_format(const char* format, bool floating) {
    const std::string_view f = format != nullptr ? format : "B";
    return floating ? f == "d" : (f == "l" || f == "q");
}

}  // namespace

NativeItems::NativeItems(PyObject* object, bool floating) {
    if (!PyObject_CheckBuffer(object) || !is_numpy_array(object)) {
        return;
    }
    if (PyObject_GetBuffer(object, &view_, PyBUF_RECORDS_RO) != 0) {
        PyErr_Clear();  // such an array goes through the iteration, which reports what is wrong
        return;
    }
    held_ = view_.ndim == 1 && view_.itemsize == 8 && native_64bit_format(view_.format, floating) &&
            (view_.shape[0] <= 1 || view_.strides[0] == 8);
    if (!held_) {
        PyBuffer_Release(&view_);
    }
}

NativeItems::~NativeItems() {
    if (held_) {
        PyBuffer_Release(&view_);
    }
}

}  // namespace detail

}  // namespace mosswick::frame
