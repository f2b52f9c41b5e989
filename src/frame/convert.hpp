// Conversion kinds: how one Python object becomes one native value.
// Each specialisation holds exactly one kind and its refusal; on refusal a
// Python exception is set and false returned.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/buffer.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/signals.hpp"

namespace mosswick::frame {

// The qualified name of an object's type, as used in conversion messages.
std::string type_name(PyObject* object);

// Sets TypeError "'{type}' object cannot be converted to '{target}'" and returns false.
bool cannot_convert(PyObject* object, std::string_view target);

template <class T>
struct Convert;

// int64 and float64 are defined here so that the item loop of a sequence inlines them.
template <>
struct Convert<std::int64_t> {
    [[gnu::always_inline]] static bool from(PyObject* object, std::int64_t& out) {
        static_assert(sizeof(long) == sizeof(std::int64_t));
        long value = 0;
        if (PyLong_CheckExact(object)) {
            // One library call instead of two; an overflow is left to PyLong_AsLong to report.
            int overflow = 0;
            value = PyLong_AsLongAndOverflow(object, &overflow);
            if (overflow != 0) {
                value = PyLong_AsLong(object);
            }
        } else {
            value = PyLong_AsLong(object);
        }
        if (value == -1 && PyErr_Occurred() != nullptr) {
            return false;
        }
        out = value;
        return true;
    }
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
    [[gnu::always_inline]] static bool from(PyObject* object, double& out) {
        // An exact int's __float__ is PyLong_AsDouble; calling it directly skips the float object.
        const double value = PyLong_CheckExact(object) ? PyLong_AsDouble(object) : PyFloat_AsDouble(object);
        if (value == -1.0 && PyErr_Occurred() != nullptr) {
            return false;
        }
        out = value;
        return true;
    }
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

// Calls each(item, exact) for every item in iteration order, `exact` saying whether the
// item is exactly an int or a float; exact lists and tuples are indexed directly.
template <class Each>
bool for_each_item(PyObject* object, Each&& each) {
    if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) {
        const bool list = PyList_CheckExact(object);
        const auto size = [&] { return list ? PyList_Size(object) : PyTuple_Size(object); };
        for (Py_ssize_t i = 0, n = size(); i < n; ++i) {
            PyObject* item = list ? PyList_GetItem(object, i) : PyTuple_GetItem(object, i);
            // Exact ints, floats and bools convert (or fail) without running Python code,
            // so the borrowed item stays valid and the list unchanged while they convert.
            const bool exact = PyLong_CheckExact(item) || PyFloat_CheckExact(item);
            if (exact || PyBool_Check(item)) {
                if (!each(item, exact)) {
                    return false;
                }
                if (signal_poll_due()) {
                    if (PyErr_CheckSignals() != 0) {
                        return false;
                    }
                    n = size();  // the handlers may have resized the list
                }
                continue;
            }
            const Ref held = Ref::borrow(item);
            if (!each(held.get(), false)) {
                return false;
            }
            if (signal_poll_due() && PyErr_CheckSignals() != 0) {
                return false;
            }
            n = size();  // __index__, __float__ or a signal handler may have resized the list
        }
        return true;
    }
    const Ref iterator(PyObject_GetIter(object));
    if (!iterator) {
        return false;
    }
    while (const Ref item{PyIter_Next(iterator.get())}) {
        const bool exact = PyLong_CheckExact(item.get()) || PyFloat_CheckExact(item.get());
        if (!each(item.get(), exact) || !signals_allow()) {
            return false;
        }
    }
    return PyErr_Occurred() == nullptr;
}

// The items of a NumPy array that are already what a sequence of int64 (or of float64)
// converts to: one dimension, C-contiguous, native 64-bit integers (or doubles).
// Empty (false) for any other object; the buffer is held until destruction.
class NativeItems {
public:
    NativeItems(PyObject* object, bool floating);
    ~NativeItems();
    NativeItems(const NativeItems&) = delete;
    NativeItems& operator=(const NativeItems&) = delete;

    explicit operator bool() const { return held_; }
    const void* data() const { return view_.buf; }
    std::size_t size() const { return static_cast<std::size_t>(view_.shape[0]); }

private:
    Py_buffer view_{};
    bool held_ = false;
};

// The items of a sequence of K, converted in iteration order into `out`; kept(item,
// exact, index) is called after each item converts, while the item is alive (`exact`:
// the item is exactly an int or a float; `index`: its position). Items of a NumPy array
// copied in one block are not seen by kept.
template <class K, class A, class Kept>
bool convert_sequence(PyObject* object, std::vector<K, A>& out, Kept&& kept) {
    const Py_ssize_t reserve = check_sequence(object);
    if (reserve < 0) {
        return false;
    }
    out.clear();
    if constexpr (std::is_same_v<K, std::int64_t> || std::is_same_v<K, double>) {
        // Copied in one block: the items the iteration would yield, converted.
        if (const NativeItems items{object, std::is_same_v<K, double>}) {
            const K* first = static_cast<const K*>(items.data());
            out.assign(first, first + items.size());
            return true;
        }
    }
    out.reserve(static_cast<std::size_t>(reserve));
    advise_huge_pages(out.data(), out.capacity() * sizeof(K));
    // Items are converted into a small batch that joins `out` whole: a push_back per item
    // is a call of its own where the compiler keeps it out of line (clang with libc++).
    constexpr std::size_t kBatch = 256;
    std::array<K, kBatch> batch;  // left unset for numbers: each slot is written before it is read
    std::size_t filled = 0;
    const auto flush = [&] {
        out.insert(out.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.begin() + filled));
        filled = 0;
    };
    // The step runs once per item: inlined into the loop (a GNU attribute, as a standard
    // one after the parameters would name the lambda's type instead).
    const bool converted = for_each_item(object, [&](PyObject* item, bool exact) __attribute__((always_inline)) {
        if (!Convert<K>::from(item, batch[filled])) {
            return false;
        }
        kept(item, exact, out.size() + filled);
        if (++filled == kBatch) {
            flush();
        }
        return true;
    });
    flush();
    return converted;
}

}  // namespace detail

// Sequence of K: any sequence but str, converted item by item in iteration order.
template <class K>
struct Convert<std::vector<K>> {
    static bool from(PyObject* object, std::vector<K>& out) {
        return detail::convert_sequence(object, out, [](PyObject*, bool, std::size_t) {});
    }
};

}  // namespace mosswick::frame
