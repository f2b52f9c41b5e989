// One-hot encoding of int64 class indices.
#pragma once

#include <cstdint>

#include "core/ndview.hpp"

namespace mosswick::dl {

// An (n, num_classes) float64 matrix with a 1.0 at (i, indices[i]) and 0.0 elsewhere.
NewArray<2> one_hot(Labels indices, std::uint64_t num_classes);

}  // namespace mosswick::dl
