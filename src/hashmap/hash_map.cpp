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

std::optional<std::int64_t> HashMap::place(std::int64_t key, std::int64_t value) {
    std::optional<std::size_t> tombstone;
    for (std::size_t i = mix(key) & mask();; i = (i + 1) & mask()) {
        Slot& s = slots_[i];
        if (s.tag == kOccupied && s.key == key) {
            return std::exchange(s.value, value);
        }
        if (s.tag == kTombstone && !tombstone) {
            tombstone = i;
        }
        if (s.tag == kEmpty) {
            if (tombstone) {
                --tombstones_;
            }
            slots_[tombstone.value_or(i)] = Slot{kOccupied, key, value};
            ++count_;
            return std::nullopt;
        }
    }
}

void HashMap::rebuild(std::size_t n) {
    AlignedBuffer<Slot> old = std::exchange(slots_, AlignedBuffer<Slot>::zeros(n));
    count_ = 0;
    tombstones_ = 0;
    for (const Slot& s : old.span()) {
        if (s.tag == kOccupied) {
            place(s.key, s.value);
        }
    }
}

std::optional<std::int64_t> HashMap::insert(std::int64_t key, std::int64_t value) {
    // Growth when the live entries would reach 70 % is the case of this line in which
    // the live entries alone pass 35 %.
    const std::size_t n = slots_.size();
    if ((count_ + tombstones_ + 1) * 10 >= n * 7) {
        rebuild((count_ + 1) * 20 >= n * 7 ? n * 2 : n);
    }
    return place(key, value);
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
    ++tombstones_;
    return slots_[*i].value;
}

template <class T, class Project>
std::vector<T> HashMap::collect(Project project) const {
    std::vector<T> out;
    out.reserve(count_);
    for (const Slot& s : slots_.span()) {
        if (s.tag == kOccupied) {
            out.push_back(project(s));
        }
    }
    return out;
}

std::vector<std::int64_t> HashMap::keys() const {
    return collect<std::int64_t>([](const Slot& s) { return s.key; });
}

std::vector<std::int64_t> HashMap::values() const {
    return collect<std::int64_t>([](const Slot& s) { return s.value; });
}

std::vector<std::pair<std::int64_t, std::int64_t>> HashMap::items() const {
    return collect<std::pair<std::int64_t, std::int64_t>>([](const Slot& s) { return std::pair(s.key, s.value); });
}

}  // namespace mosswick::hashmap
