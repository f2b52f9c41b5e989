// Buffer memory. Blocks come from malloc, over-allocated and aligned by hand with
// malloc's pointer and the usable size stored just below the data: glibc reuses a
// freed block this way (aligned_alloc made it fault in fresh pages every time).
// Large blocks (results, tensors) are also kept in a few recycling slots when
// freed, so a routine called in a loop reuses warm memory instead of asking the
// kernel for new, zeroed pages (for a block of 80 MB that is about half the time of
// a softmax); huge pages are requested for them as NumPy does. The slots keep the
// most recently freed blocks, within a bound on their total.
#include "core/buffer.hpp"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "core/platform.hpp"

namespace mosswick {

namespace {

constexpr std::size_t kAlignment = 64;
constexpr std::size_t kHeader = 2 * sizeof(std::size_t);      // malloc's pointer, usable size
constexpr std::size_t kRecycledMin = std::size_t{1} << 20;    // blocks of 1 MiB and up ...
constexpr std::size_t kRecycledMax = std::size_t{128} << 20;  // ... to 128 MiB are recycled,
constexpr std::size_t kSlots = 4;                             // at most four at a time,
constexpr std::size_t kKeptMax = std::size_t{256} << 20;      // and at most 256 MiB together
constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;

std::atomic<void*> recycled[kSlots];  // aligned data pointers of free blocks
std::atomic<std::size_t> kept{0};     // the bytes of the blocks in the slots
std::atomic<std::size_t> turn{0};     // the slot to give up next when none is free

std::size_t& usable_size(void* data) {
    return static_cast<std::size_t*>(data)[-2];
}

void*& malloc_pointer(void* data) {
    return static_cast<void**>(data)[-1];
}

}  // namespace

void advise_huge_pages(void* memory, std::size_t bytes) {
    if (bytes < 2 * kHugePage) {
        return;
    }
    const auto begin = (reinterpret_cast<std::uintptr_t>(memory) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes) & ~(kHugePage - 1);
    if (end > begin) {
        platform::advise_huge_pages(reinterpret_cast<void*>(begin), end - begin);
    }
}

namespace {

// Frees a block that a slot held.
void drop(void* data) {
    if (data != nullptr) {
        kept.fetch_sub(usable_size(data), std::memory_order_relaxed);
        std::free(malloc_pointer(data));
    }
}

// A recycled block of at least `bytes` and not much more, if one is free.
void* take_recycled(std::size_t bytes) {
    for (auto& slot : recycled) {
        void* data = slot.exchange(nullptr, std::memory_order_acquire);
        if (data == nullptr) {
            continue;
        }
        const std::size_t size = usable_size(data);
        if (size >= bytes && size - bytes <= bytes / 4) {
            kept.fetch_sub(size, std::memory_order_relaxed);
            return data;
        }
        void* expected = nullptr;
        if (!slot.compare_exchange_strong(expected, data, std::memory_order_release)) {
            drop(data);
        }
    }
    return nullptr;
}

// Keeps a freed block: in a free slot, or else in the next slot in turn, whose block
// is freed; then, while the slots hold more than kKeptMax, the blocks of the next
// slots in turn are freed. The most recently freed blocks stay.
void keep(void* data) {
    kept.fetch_add(usable_size(data), std::memory_order_relaxed);
    for (auto& slot : recycled) {
        void* expected = nullptr;
        if (slot.compare_exchange_strong(expected, data, std::memory_order_release)) {
            data = nullptr;
            break;
        }
    }
    if (data != nullptr) {
        drop(recycled[turn.fetch_add(1, std::memory_order_relaxed) % kSlots].exchange(data,
                                                                                     std::memory_order_acq_rel));
    }
    for (std::size_t i = 0; i < kSlots && kept.load(std::memory_order_relaxed) > kKeptMax; ++i) {
        drop(recycled[turn.fetch_add(1, std::memory_order_relaxed) % kSlots].exchange(nullptr,
                                                                                     std::memory_order_acquire));
    }
}

}  // namespace

void* allocate_aligned(std::size_t bytes) {
    const bool large = bytes >= kRecycledMin && bytes <= kRecycledMax;
    if (large) {
        if (void* data = take_recycled(bytes)) {
            return data;
        }
    }
    void* raw = std::malloc(bytes + kHeader + kAlignment);
    if (raw == nullptr) {
        throw std::bad_alloc();
    }
    void* data = reinterpret_cast<void*>((reinterpret_cast<std::uintptr_t>(raw) + kHeader + kAlignment - 1) &
                                         ~(kAlignment - 1));
    malloc_pointer(data) = raw;
    usable_size(data) = bytes;
    advise_huge_pages(data, bytes);
    return data;
}

void free_aligned(void* data) {
    if (data == nullptr) {
        return;
    }
    const std::size_t bytes = usable_size(data);
    if (bytes >= kRecycledMin && bytes <= kRecycledMax) {
        keep(data);
        return;
    }
    std::free(malloc_pointer(data));
}

}  // namespace mosswick
