// Edit distance between two byte strings.
#pragma once

#include <cstdint>
#include <string_view>

namespace mosswick::classic {

// Insertions, deletions and substitutions of single bytes, each costing 1.
std::uint64_t levenshtein(std::string_view a, std::string_view b);

}  // namespace mosswick::classic
