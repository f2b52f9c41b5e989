// Inverted dropout over a 1-D float64 array.
#pragma once

#include <cstdint>
#include <optional>

#include "core/ndview.hpp"

namespace mosswick::dl {

// Keeps element i, scaled by 1 / (1 - p), when its uniform draw is below 1 - p and
// zeroes it otherwise; one draw per element. A seed fixes the mask on every machine.
NewArray<1> dropout(Vector x, double p, std::optional<std::uint64_t> seed);

}  // namespace mosswick::dl
