// The vector pieces of the sorts and selections, one build per instruction set
// (see core/isa.hpp); dispatch<SortKernels>() gives the running processor's. Every piece works
// on signed 64-bit integers; doubles are sorted as the integer keys of
// double_keys, whose order is the IEEE order of the values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/isa.hpp"

namespace mosswick::classic {

struct SortKernels {
    // Blocks of up to small_max elements are sorted by sort_small in one piece
    // (a sorting network in registers, or insertion sort in the portable build).
    std::size_t small_max;

    // Sorts src[0, n) ascending into dst[0, n), n <= small_max; src may equal dst.
    void (*sort_small)(const std::int64_t* src, std::int64_t* dst, std::size_t n);

    // Moves the elements of a[0, n) smaller than p to the front, the others to the
    // back (neither side in any particular order), and returns how many are smaller;
    // *equal receives how many equal p, unless equal is null.
    std::size_t (*partition)(std::int64_t* a, std::size_t n, std::int64_t p, std::size_t* equal);

    // Writes the merge of the ascending runs x[0, nx) and y[0, ny) to out, ascending.
    // out overlaps neither run.
    void (*merge)(const std::int64_t* x, std::size_t nx, const std::int64_t* y, std::size_t ny, std::int64_t* out);

    // Replaces each double's bits in a[0, n) by its key, or each key by its double's
    // bits (the map is its own inverse): positives keep their bits, negatives have
    // all bits but the sign flipped. Keys compare as signed integers like the values
    // under IEEE less-than, with -0.0 just below 0.0, NaNs with the sign bit clear
    // above +inf and NaNs with it set below -inf.
    void (*double_keys)(std::int64_t* a, std::size_t n);

    template <Isa>
    static const SortKernels& build();
};

// The keys of -inf and +inf: a key outside [kKeyOfMinusInfinity, kKeyOfInfinity] is a NaN.
inline constexpr std::int64_t kKeyOfInfinity = 0x7FF0000000000000;
inline constexpr std::int64_t kKeyOfMinusInfinity = static_cast<std::int64_t>(0x800FFFFFFFFFFFFFull);

}  // namespace mosswick::classic
