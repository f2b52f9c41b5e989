// Lists whose items a result may hand back as they are (core/items.hpp). An item that
// is exactly the type of the value (int for int64, float for double) is returned as
// the very object: the holder takes a strong reference to it while converting, so
// nothing the caller's list loses meanwhile (another thread may empty it while the
// lock is released) is freed under the routine. Every other item (bool, NumPy
// scalars, objects with __index__ or __float__) comes back as a new object of its value.
#pragma once

#include <type_traits>
#include <utility>
#include <vector>

#include "core/items.hpp"
#include "frame/arg.hpp"
#include "frame/convert.hpp"
#include "frame/result.hpp"
#include "frame/release.hpp"
#include "frame/signals.hpp"

namespace mosswick::frame {

template <class T>
bool exactly_of_value_type(PyObject* item) {
    if constexpr (std::is_same_v<T, double>) {
        return PyFloat_CheckExact(item);
    } else {
        return PyLong_CheckExact(item);
    }
}

// Releases the references among handles, at once or, after a failure with more than
// kSignalSpan of them, in slices (frame/release.hpp); the handles are left empty.
void release_handles(Handles& handles);

// The holder of a sequence of T whose exact items the result may return.
template <class T>
struct ItemsArg {
    Items<T> value;
    Handles handles;  // empty until the first exact item

    ItemsArg() = default;
    ItemsArg(const ItemsArg&) = delete;
    ItemsArg& operator=(const ItemsArg&) = delete;
    ~ItemsArg() { release_handles(handles); }

    bool load(PyObject* object) {
        Column<T>& values = value.values;
        Column<void*>& at = handles.at;
        return detail::convert_sequence(object, values, [&](PyObject* item, bool exact, std::size_t index)
                                                            __attribute__((always_inline)) {
            if (exact && exactly_of_value_type<T>(item)) {
                if (handles.held == 0) {
                    at.reserve(values.capacity());
                    at.resize(index, nullptr);
                }
                at.push_back(Py_NewRef(item));
                ++handles.held;
            } else if (handles.held != 0) {
                at.push_back(nullptr);
            }
        });
    }

    Items<T>&& get() {
        if (handles.held != 0) {
            value.handles = &handles;
        }
        return std::move(value);
    }
};

template <class T>
struct ArgFor<Items<T>> {
    using type = ItemsArg<T>;
};

// After a build of a Picked result failed with `placed` items in `list`: their
// references belong to the list, the others still to the handles.
void release_picked_later(Ref list, Handles& handles, AlignedBuffer<std::uint64_t> order, std::size_t placed);

template <class T>
struct Result<Picked<T>> {
    static PyObject* build(Picked<T>&& picked) {
        Handles* handles = picked.handles;
        if (handles == nullptr) {
            return Result<Column<T>>::build(std::move(picked.values));
        }
        Ref list(PyList_New(static_cast<Py_ssize_t>(picked.count)));
        if (!list) {
            return nullptr;
        }
        // The references of the items placed move from the handles into the list.
        void** at = handles->at.data();
        constexpr std::size_t kAhead = 64;
        for (std::size_t placed = 0; placed < picked.count;) {
            if (placed + kAhead < picked.count) {
                __builtin_prefetch(&at[picked.order[placed + kAhead]]);
            }
            const std::uint64_t position = picked.order[placed];
            auto* item = static_cast<PyObject*>(at[position]);
            if (item == nullptr && (item = Result<T>::build(T(picked.values[position]))) == nullptr) {
                release_picked_later(std::move(list), *handles, std::move(picked.order), placed);
                return nullptr;
            }
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(placed++), item);
            if (!signals_allow()) {
                release_picked_later(std::move(list), *handles, std::move(picked.order), placed);
                return nullptr;
            }
        }
        if (picked.count == picked.values.size()) {
            handles->held = 0;  // all of them: the positions are distinct
        } else {
            for (std::size_t i = 0; i < picked.count; ++i) {
                if (std::exchange(at[picked.order[i]], nullptr) != nullptr) {
                    --handles->held;
                }
            }
        }
        return list.release();
    }
};

}  // namespace mosswick::frame
