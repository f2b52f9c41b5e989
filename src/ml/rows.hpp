// A matrix given as a list of rows of doubles; the rows may differ in length.
#pragma once

#include <vector>

namespace mosswick::ml {

using Rows = std::vector<std::vector<double>>;

}  // namespace mosswick::ml
