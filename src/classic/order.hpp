// The order of items by key, for the sorts that return the caller's own objects:
// the items' positions sorted by key, ties in position order (so any sort of the
// positions is stable), found by sorting single words.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mosswick::classic {

// Sorts a[0, n) ascending in place; the words it is given are distinct and not negative.
using WordSort = void (*)(std::int64_t* a, std::size_t n);

// Writes to order[0, n) the positions 0 to n - 1 by ascending keys[position], equal keys
// by position. Each word is the key less the smallest one, shifted up past the bits of
// a position, with the position below: where the keys span too wide a range for that,
// the key's lowest bits are dropped, and the runs of words that then tie (consecutive
// after the sort, in position order) are ordered again by their full keys, the same way.
void order_by_key(const std::int64_t* keys, std::size_t n, WordSort sort, std::uint64_t* order);

}  // namespace mosswick::classic
