// A result returned to Python as nested lists: row-major values and the extents
// that group them, one list level per extent; with no extents, the single value.
#pragma once

#include <cstddef>
#include <vector>

namespace mosswick {

template <class T>
struct NestedList {
    std::vector<std::size_t> shape;
    std::vector<T> values;  // the product of the extents, in row-major order
};

}  // namespace mosswick
