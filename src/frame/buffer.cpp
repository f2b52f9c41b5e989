#include "frame/buffer.hpp"

#include <sys/mman.h>

namespace mosswick {

void advise_huge_pages(void* memory, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    if (bytes < 2 * kHugePage) {
        return;
    }
    const auto begin = (reinterpret_cast<std::uintptr_t>(memory) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes) & ~(kHugePage - 1);
    if (end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // advice only: failure is harmless
    }
}

}  // namespace mosswick
