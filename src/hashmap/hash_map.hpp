// An open-addressing hash map from 64-bit keys to 64-bit values: linear probing
// from a fixed mixing function, tombstones for removed entries, doubling when
// the live entries would reach 70 % of the slots. Iteration follows slot order.
//
// Tombstones count toward the same line: an insert that would bring live entries
// plus tombstones to 70 % first rebuilds the table without them (at twice the
// slots when the live entries alone pass 35 %), so probe chains stay short under
// any mix of inserts and removals, and an empty slot always remains. Maps that
// never reach the line keep exactly the slot orders of plain doubling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/buffer.hpp"

namespace mosswick::hashmap {

class HashMap {
public:
    HashMap();

    // The previous value of `key`, if it was present.
    std::optional<std::int64_t> insert(std::int64_t key, std::int64_t value);
    std::optional<std::int64_t> get(std::int64_t key) const;
    std::optional<std::int64_t> remove(std::int64_t key);
    bool contains(std::int64_t key) const;

    std::vector<std::int64_t> keys() const;
    std::vector<std::int64_t> values() const;
    std::vector<std::pair<std::int64_t, std::int64_t>> items() const;
    std::size_t size() const { return count_; }

    // The SplitMix64 finaliser, without its additive constant.
    static std::uint64_t mix(std::int64_t key);

private:
    enum Tag : std::uint64_t { kEmpty = 0, kTombstone = 1, kOccupied = 2 };
    struct Slot {
        std::uint64_t tag;  // all-zero bytes: an empty slot
        std::int64_t key;
        std::int64_t value;
    };

    std::size_t mask() const { return slots_.size() - 1; }
    std::optional<std::size_t> find(std::int64_t key) const;
    // Places (key, value), returning the previous value of key if it was present.
    std::optional<std::int64_t> place(std::int64_t key, std::int64_t value);
    // Re-places every live entry, in slot order, into `n` empty slots.
    void rebuild(std::size_t n);
    // project(slot) for every occupied slot, in slot order.
    template <class T, class Project>
    std::vector<T> collect(Project project) const;

    AlignedBuffer<Slot> slots_;
    std::size_t count_ = 0;
    std::size_t tombstones_ = 0;
};

}  // namespace mosswick::hashmap
