// A list's items as the routines that may hand back the caller's own objects take
// them: each item's value and, where the result may hold the very object the item
// was, an opaque handle of that object. The boundary owns the handles (one strong
// reference each); a routine only says which items its result holds, in what order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/buffer.hpp"

namespace mosswick {

// A list's worth of values: its memory is recycled between calls (core/buffer.hpp).
template <class T>
using Column = std::vector<T, Recycled<T>>;

// Per item, the handle of its object, or null where the item must come back as a new
// object of its value.
struct Handles {
    Column<void*> at;
    std::size_t held = 0;  // handles not null
};

template <class T>
struct Items {
    Column<T> values;
    Handles* handles = nullptr;  // null: no item has a handle
};

// A result made of items. With handles: the items at the distinct positions
// order[0, count), each as its object where it has a handle, else as a new object of
// values[position].
// Without: the values in their order, as new objects.
template <class T>
struct Picked {
    Column<T> values;
    Handles* handles = nullptr;
    AlignedBuffer<std::uint64_t> order;
    std::size_t count = 0;

    // The values as they are.
    static Picked of_values(Column<T> values) { return {std::move(values), nullptr, {}, 0}; }
};

}  // namespace mosswick
