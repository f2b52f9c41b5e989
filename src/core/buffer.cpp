// Buffer memory. Blocks come from malloc, over-allocated and aligned by hand with
// malloc's pointer and the usable size stored just below the data: glibc reuses a
// freed block this way (aligned_alloc made it fault in fresh pages every time).
// Large blocks (results, tensors) are also kept in a few recycling slots when
// freed, so a routine called in a loop reuses warm memory instead of asking the
// kernel for new, zeroed pages (for a block of 80 MB that is about half the time of
// a softmax); huge pages are requested for them as NumPy does. What the slots keep
// is bounded in total, so freed memory stays with the process only up to that bound.
#include "core/buffer.hpp"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

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
std::atomic<std::size_t> kept{0};     // the bytes the slots hold, or are about to

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
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // advice only: failure is harmless
    }
}

namespace {

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
            kept.fetch_sub(size, std::memory_order_relaxed);
            std::free(malloc_pointer(data));
        }
    }
    return nullptr;
}

// Puts a freed block in a free slot, if there is one and the slots keep no more than
// kKeptMax with it.
bool keep(void* data, std::size_t bytes) {
    if (kept.fetch_add(bytes, std::memory_order_relaxed) + bytes <= kKeptMax) {
        for (auto& slot : recycled) {
            void* expected = nullptr;
            if (slot.compare_exchange_strong(expected, data, std::memory_order_release)) {
                return true;
            }
        }
    }
    kept.fetch_sub(bytes, std::memory_order_relaxed);
    return false;
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
    if (bytes >= kRecycledMin && bytes <= kRecycledMax && keep(data, bytes)) {
        return;
    }
    std::free(malloc_pointer(data));
}

}  // namespace mosswick
