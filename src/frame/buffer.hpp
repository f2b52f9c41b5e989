// An owned, cache-line aligned array of trivially copyable values, left
// uninitialised unless asked for zeros: results are written once, in full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

namespace mosswick {

// Asks for transparent huge pages over large buffers, as NumPy does for its arrays.
void advise_huge_pages(void* memory, std::size_t bytes);

template <class T>
class AlignedBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    static constexpr std::size_t kAlignment = 64;

    AlignedBuffer() = default;

    static AlignedBuffer uninitialized(std::size_t n) { return AlignedBuffer(n); }
    static AlignedBuffer zeros(std::size_t n) {
        AlignedBuffer b(n);
        std::memset(b.data(), 0, n * sizeof(T));
        return b;
    }

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    std::span<T> span() { return {data(), size_}; }
    std::span<const T> span() const { return {data(), size_}; }

    // Hands the memory to a new owner, which frees it with free_memory().
    T* release() {
        size_ = 0;
        return data_.release();
    }
    static void free_memory(void* memory) {
        if (memory != nullptr) {
            std::free(static_cast<void**>(memory)[-1]);
        }
    }

private:
    struct Free {
        void operator()(T* p) const { free_memory(p); }
    };

    // Over-allocates with malloc and aligns by hand, keeping malloc's own pointer just
    // before the data: unlike aligned_alloc, glibc then reuses a freed large block
    // instead of faulting in fresh pages for every new result.
    explicit AlignedBuffer(std::size_t n) : size_(n) {
        if (n > (std::size_t{1} << 60) / sizeof(T)) {
            throw std::bad_alloc();
        }
        const std::size_t bytes = (n == 0 ? 1 : n) * sizeof(T);  // never empty: every result has an address
        void* raw = std::malloc(bytes + kAlignment);
        if (raw == nullptr) {
            throw std::bad_alloc();
        }
        const auto aligned = (reinterpret_cast<std::uintptr_t>(raw) + kAlignment) & ~(kAlignment - 1);
        reinterpret_cast<void**>(aligned)[-1] = raw;
        data_.reset(reinterpret_cast<T*>(aligned));
        advise_huge_pages(data_.get(), bytes);
    }

    std::unique_ptr<T[], Free> data_;
    std::size_t size_ = 0;
};

}  // namespace mosswick
