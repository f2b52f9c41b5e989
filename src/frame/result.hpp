// Result kinds: how a routine's native result becomes a new Python object.
// Every build returns a new reference, or nullptr with an exception set; long
// builds let signal handlers run (frame/signals.hpp).
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/nested.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/release.hpp"
#include "frame/signals.hpp"

namespace mosswick::frame {

template <class T>
struct Result;

template <>
struct Result<std::int64_t> {
    static PyObject* build(std::int64_t value) { return PyLong_FromLongLong(value); }
};

template <>
struct Result<std::uint64_t> {
    // CPython builds ints that fit a signed word on a shorter path.
    static PyObject* build(std::uint64_t value) {
        return value <= static_cast<std::uint64_t>(LLONG_MAX) ? PyLong_FromLongLong(static_cast<long long>(value))
                                                              : PyLong_FromUnsignedLongLong(value);
    }
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
        Ref first(Result<A>::build(std::move(value.first)));
        if (!first) {
            return nullptr;
        }
        Ref second(Result<B>::build(std::move(value.second)));
        if (!second) {
            return nullptr;
        }
        return PyTuple_Pack(2, first.get(), second.get());
    }
};

template <class T, class A>
struct Result<std::vector<T, A>> {
    static PyObject* build(std::vector<T, A>&& values) {
        Ref list(PyList_New(static_cast<Py_ssize_t>(values.size())));
        if (!list) {
            return nullptr;
        }
        for (std::size_t i = 0; i < values.size();) {
            const std::size_t begin = i;
            for (const std::size_t end = std::min(values.size(), i + kSignalBlock); i < end; ++i) {
                PyObject* item = Result<T>::build(std::move(values[i]));
                if (item == nullptr) {
                    release_list_later(std::move(list));
                    return nullptr;
                }
                PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
            }
            if (!signals_allow(i - begin)) {
                release_list_later(std::move(list));
                return nullptr;
            }
        }
        return list.release();
    }
};

// One list per extent over the row-major values; the value itself for no extents.
// Built depth first with an explicit stack of the lists being filled, one per
// extent, so that no rank is too deep for the native stack of any thread.
template <class T>
struct Result<NestedList<T>> {
    struct Open {
        Ref list;
        std::size_t filled;
    };

    static PyObject* build(NestedList<T>&& nested) {
        const std::vector<std::size_t>& shape = nested.shape;
        if (shape.empty()) {
            return Result<T>::build(std::move(nested.values[0]));
        }
        std::vector<Open> open;
        open.reserve(shape.size());
        std::size_t next = 0;
        if (!start(open, shape[0])) {
            return nullptr;
        }
        for (;;) {
            Open& top = open.back();
            const std::size_t axis = open.size() - 1;
            if (top.filled == shape[axis]) {
                Ref done = std::move(top.list);
                open.pop_back();
                if (open.empty()) {
                    return done.release();
                }
                fill(open.back(), done.release());
            } else if (axis + 1 < shape.size()) {
                if (!start(open, shape[axis + 1])) {
                    return abandon(open);
                }
            } else {
                PyObject* item = Result<T>::build(std::move(nested.values[next++]));
                if (item == nullptr) {
                    return abandon(open);
                }
                fill(top, item);
                if (!signals_allow()) {
                    return abandon(open);
                }
            }
        }
    }

    static PyObject* abandon(std::vector<Open>& open) {
        for (Open& o : open) {
            release_list_later(std::move(o.list));
        }
        return nullptr;
    }

    static bool start(std::vector<Open>& open, std::size_t extent) {
        if (extent > static_cast<std::size_t>(PY_SSIZE_T_MAX)) {
            PyErr_NoMemory();  // no list can be that long
            return false;
        }
        Ref list(PyList_New(static_cast<Py_ssize_t>(extent)));
        if (!list) {
            return false;
        }
        open.push_back({std::move(list), 0});
        return true;
    }

    static void fill(Open& parent, PyObject* item) {
        PyList_SetItem(parent.list.get(), static_cast<Py_ssize_t>(parent.filled++), item);
    }
};

}  // namespace mosswick::frame
