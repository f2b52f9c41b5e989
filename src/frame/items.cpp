#include "frame/items.hpp"

#include <algorithm>

namespace mosswick::frame {

namespace {

// Drops up to kSignalSpan of the references among at[0, end) from the end; returns the new end.
std::size_t drop_slice(Column<void*>& at, std::size_t end) {
    const std::size_t from = end > kSignalSpan ? end - kSignalSpan : 0;
    for (std::size_t i = end; i-- > from;) {
        Py_XDECREF(static_cast<PyObject*>(at[i]));
    }
    return from;
}

}  // namespace

void release_handles(Handles& handles) {
    if (handles.held == 0) {
        return;
    }
    handles.held = 0;
    Column<void*> at = std::move(handles.at);
    if (PyErr_Occurred() == nullptr || at.size() <= kSignalSpan) {
        for (void* object : at) {
            Py_XDECREF(static_cast<PyObject*>(object));
        }
        return;
    }
    const std::size_t size = at.size();
    release_in_steps([at = std::move(at), end = size]() mutable {
        end = drop_slice(at, end);
        return end > 0;
    });
}

void release_picked_later(Ref list, Handles& handles, AlignedBuffer<std::uint64_t> order, std::size_t placed) {
    release_list_later(std::move(list));
    if (handles.held == 0) {
        return;
    }
    handles.held = 0;
    // First the placed items' entries are cleared (the list owns them), then the rest go.
    release_in_steps([at = std::move(handles.at), order = std::move(order), placed, cleared = std::size_t{0},
                   end = std::size_t{0}, dropping = false]() mutable {
        if (!dropping) {
            const std::size_t to = std::min(placed, cleared + kSignalSpan);
            for (; cleared < to; ++cleared) {
                at[order[cleared]] = nullptr;
            }
            if (cleared < placed) {
                return true;
            }
            dropping = true;
            end = at.size();
        }
        end = drop_slice(at, end);
        return end > 0;
    });
}

}  // namespace mosswick::frame
