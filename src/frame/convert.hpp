// Conversion kinds: how one Python object becomes one native value.
// Each specialisation holds exactly one kind and its refusal; on refusal a
// Python exception is set and false returned.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/python.hpp"

namespace mosswick::frame {

// The qualified name of an object's type, as used in conversion messages.
std::string type_name(PyObject* object);

// Sets TypeError "'{type}' object cannot be converted to '{target}'" and returns false.
bool cannot_convert(PyObject* object, std::string_view target);

template <class T>
struct Convert;

template <>
struct Convert<std::int64_t> {
    static bool from(PyObject* object, std::int64_t& out);
};

template <>
struct Convert<std::int32_t> {
    static bool from(PyObject* object, std::int32_t& out);
};

template <>
struct Convert<std::uint64_t> {
    static bool from(PyObject* object, std::uint64_t& out);
};

template <>
struct Convert<double> {
    static bool from(PyObject* object, double& out);
};

template <>
struct Convert<bool> {
    static bool from(PyObject* object, bool& out);
};

// The UTF-8 text of a str; it stays valid while the argument is alive.
template <>
struct Convert<std::string_view> {
    static bool from(PyObject* object, std::string_view& out);
};

template <>
struct Convert<std::optional<std::uint64_t>> {
    static bool from(PyObject* object, std::optional<std::uint64_t>& out);
};

namespace detail {

// Refuses str and non-sequences; returns the number of items to reserve, or -1.
Py_ssize_t check_sequence(PyObject* object);

// Exact floats and ints convert to every kind (or are refused) without running Python code.
inline bool converts_inertly(PyObject* item) {
    return PyFloat_CheckExact(item) || PyLong_CheckExact(item);
}

// Calls each(item) for every item in iteration order; exact lists and tuples are indexed directly.
template <class Each>
bool for_each_item(PyObject* object, Each&& each) {
    if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) {
        const bool list = PyList_CheckExact(object);
        auto size = [&] { return list ? PyList_Size(object) : PyTuple_Size(object); };
        // Converting an item of another type can run Python code (__index__, __float__) that
        // changes the list: such an item is held while it converts, and the size read again after.
        Py_ssize_t n = size();
        for (Py_ssize_t i = 0; i < n; ++i) {
            PyObject* item = list ? PyList_GetItem(object, i) : PyTuple_GetItem(object, i);
            if (converts_inertly(item)) {
                if (!each(item)) {
                    return false;
                }
                continue;
            }
            Py_INCREF(item);
            const bool ok = each(item);
            Py_DECREF(item);
            if (!ok) {
                return false;
            }
            n = size();
        }
        return true;
    }
    PyObject* iterator = PyObject_GetIter(object);
    if (iterator == nullptr) {
        return false;
    }
    bool ok = true;
    while (PyObject* item = PyIter_Next(iterator)) {
        ok = each(item);
        Py_DECREF(item);
        if (!ok) {
            break;
        }
    }
    Py_DECREF(iterator);
    return ok && PyErr_Occurred() == nullptr;
}

}  // namespace detail

// Sequence of K: any sequence but str, converted item by item in iteration order.
template <class K>
struct Convert<std::vector<K>> {
    static bool from(PyObject* object, std::vector<K>& out) {
        const Py_ssize_t reserve = detail::check_sequence(object);
        if (reserve < 0) {
            return false;
        }
        out.clear();
        out.reserve(static_cast<std::size_t>(reserve));
        return detail::for_each_item(object, [&](PyObject* item) {
            K value{};
            if (!Convert<K>::from(item, value)) {
                return false;
            }
            out.push_back(std::move(value));
            return true;
        });
    }
};

}  // namespace mosswick::frame
