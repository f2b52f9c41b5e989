// Result kinds: how a routine's native result becomes a new Python object.
// Every build returns a new reference, or nullptr with an exception set.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/nested.hpp"
#include "frame/python.hpp"

namespace mosswick::frame {

template <class T>
struct Result;

template <>
struct Result<std::int64_t> {
    static PyObject* build(std::int64_t value) { return PyLong_FromLongLong(value); }
};

template <>
struct Result<std::uint64_t> {
    static PyObject* build(std::uint64_t value) { return PyLong_FromUnsignedLongLong(value); }
};

// Exact results wider than 64 bits.
template <>
struct Result<unsigned __int128> {
    static PyObject* build(unsigned __int128 value);
};

template <>
struct Result<double> {
    static PyObject* build(double value) { return PyFloat_FromDouble(value); }
};

template <>
struct Result<bool> {
    static PyObject* build(bool value) { return Py_NewRef(value ? Py_True : Py_False); }
};

template <class T>
struct Result<std::optional<T>> {
    static PyObject* build(std::optional<T>&& value) {
        return value ? Result<T>::build(std::move(*value)) : Py_NewRef(Py_None);
    }
};

template <class A, class B>
struct Result<std::pair<A, B>> {
    static PyObject* build(std::pair<A, B>&& value) {
        PyObject* first = Result<A>::build(std::move(value.first));
        if (first == nullptr) {
            return nullptr;
        }
        PyObject* second = Result<B>::build(std::move(value.second));
        if (second == nullptr) {
            Py_DECREF(first);
            return nullptr;
        }
        PyObject* tuple = PyTuple_New(2);
        if (tuple == nullptr) {
            Py_DECREF(first);
            Py_DECREF(second);
            return nullptr;
        }
        PyTuple_SetItem(tuple, 0, first);
        PyTuple_SetItem(tuple, 1, second);
        return tuple;
    }
};

template <class T>
struct Result<std::vector<T>> {
    static PyObject* build(std::vector<T>&& values) {
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(values.size()));
        if (list == nullptr) {
            return nullptr;
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            PyObject* item = Result<T>::build(std::move(values[i]));
            if (item == nullptr) {
                Py_DECREF(list);
                return nullptr;
            }
            PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);
        }
        return list;
    }
};

// One list per extent, built inner-first from the row-major values; the value itself for no extents.
template <class T>
struct Result<NestedList<T>> {
    static PyObject* build(NestedList<T>&& nested) {
        std::size_t next = 0;
        return level(nested, 0, next);
    }

    static PyObject* level(NestedList<T>& nested, std::size_t axis, std::size_t& next) {
        if (axis == nested.shape.size()) {
            return Result<T>::build(std::move(nested.values[next++]));
        }
        const std::size_t extent = nested.shape[axis];
        if (extent > static_cast<std::size_t>(PY_SSIZE_T_MAX)) {
            return PyErr_NoMemory();  // no list can be that long
        }
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(extent));
        if (list == nullptr) {
            return nullptr;
        }
        for (std::size_t i = 0; i < extent; ++i) {
            PyObject* item = level(nested, axis + 1, next);
            if (item == nullptr) {
                Py_DECREF(list);
                return nullptr;
            }
            PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);
        }
        return list;
    }
};

}  // namespace mosswick::frame
