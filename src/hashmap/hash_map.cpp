#include "hashmap/hash_map.hpp"

#include <utility>

namespace mosswick::hashmap {

namespace {

constexpr std::size_t kInitialSlots = 16;

}  // namespace

HashMap::HashMap() : slots_(AlignedBuffer<Slot>::zeros(kInitialSlots)) {}

std::uint64_t HashMap::mix(std::int64_t key) {
    auto z = static_cast<std::uint64_t>(key);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

std::optional<std::size_t> HashMap::find(std::int64_t key) const {
    std::size_t i = mix(key) & mask();
    for (std::size_t probes = 0; probes < slots_.size(); ++probes, i = (i + 1) & mask()) {
        const Slot& s = slots_[i];
        if (s.tag == kEmpty) {
            return std::nullopt;
        }
        if (s.tag == kOccupied && s.key == key) {
            return i;
        }
    }
    return std::nullopt;
}

std::pair<std::optional<std::int64_t>, bool> HashMap::place(std::int64_t key, std::int64_t value) {
    std::optional<std::size_t> tombstone;
    std::size_t i = mix(key) & mask();
    for (std::size_t probes = 0; probes < slots_.size(); ++probes, i = (i + 1) & mask()) {
        Slot& s = slots_[i];
        if (s.tag == kOccupied && s.key == key) {
            const std::int64_t previous = s.value;
            s.value = value;
            return {previous, true};
        }
        if (s.tag == kTombstone && !tombstone) {
            tombstone = i;
        }
        if (s.tag == kEmpty) {
            slots_[tombstone.value_or(i)] = Slot{kOccupied, key, value};
            ++count_;
            return {std::nullopt, true};
        }
    }
    return {std::nullopt, false};
}

void HashMap::rebuild(std::size_t n) {
    AlignedBuffer<Slot> old = std::exchange(slots_, AlignedBuffer<Slot>::zeros(n));
    count_ = 0;
    for (const Slot& s : old.span()) {
        if (s.tag == kOccupied) {
            place(s.key, s.value);
        }
    }
}

std::optional<std::int64_t> HashMap::insert(std::int64_t key, std::int64_t value) {
    if ((count_ + 1) * 10 >= slots_.size() * 7) {
        rebuild(slots_.size() * 2);
    }
    auto [previous, placed] = place(key, value);
    if (!placed) {
        // Every free slot had become a tombstone, so no probe could end: clear them,
        // keeping the size, and place again. Maps that never get here are unaffected.
        rebuild(slots_.size());
        previous = place(key, value).first;
    }
    return previous;
}

std::optional<std::int64_t> HashMap::get(std::int64_t key) const {
    const auto i = find(key);
    return i ? std::optional(slots_[*i].value) : std::nullopt;
}

bool HashMap::contains(std::int64_t key) const {
    return find(key).has_value();
}

std::optional<std::int64_t> HashMap::remove(std::int64_t key) {
    const auto i = find(key);
    if (!i) {
        return std::nullopt;
    }
    slots_[*i].tag = kTombstone;
    --count_;
    return slots_[*i].value;
}

std::vector<std::int64_t> HashMap::keys() const {
    std::vector<std::int64_t> out;
    out.reserve(count_);
    for (const Slot& s : slots_.span()) {
        if (s.tag == kOccupied) {
            out.push_back(s.key);
        }
    }
    return out;
}

std::vector<std::int64_t> HashMap::values() const {
    std::vector<std::int64_t> out;
    out.reserve(count_);
    for (const Slot& s : slots_.span()) {
        if (s.tag == kOccupied) {
            out.push_back(s.value);
        }
    }
    return out;
}

std::vector<std::pair<std::int64_t, std::int64_t>> HashMap::items() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> out;
    out.reserve(count_);
    for (const Slot& s : slots_.span()) {
        if (s.tag == kOccupied) {
            out.emplace_back(s.key, s.value);
        }
    }
    return out;
}

}  // namespace mosswick::hashmap
