// An owned, cache-line aligned array of trivially copyable values, left
// uninitialised unless asked for zeros: results are written once, in full.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

namespace mosswick {

// Memory for buffers: at least `bytes`, aligned to 64 bytes, uninitialised; throws
// std::bad_alloc. Large blocks are recycled between calls (see buffer.cpp).
void* allocate_aligned(std::size_t bytes);
void free_aligned(void* memory);

// Asks for transparent huge pages over a large block, as NumPy does for its arrays.
void advise_huge_pages(void* memory, std::size_t bytes);

// An allocator over allocate_aligned, for vectors whose large blocks are worth recycling.
template <class T>
struct Recycled {
    using value_type = T;
    Recycled() = default;
    template <class U>
    explicit Recycled(const Recycled<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocate_aligned(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) { free_aligned(p); }
    bool operator==(const Recycled&) const = default;
};

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

    // Hands the memory to a new owner, which frees it with free_aligned().
    T* release() {
        size_ = 0;
        return data_.release();
    }

private:
    struct Free {
        void operator()(T* p) const { free_aligned(p); }
    };

    explicit AlignedBuffer(std::size_t n) : size_(n) {
        if (n > (std::size_t{1} << 60) / sizeof(T)) {
            throw std::bad_alloc();
        }
        // Never empty, so even a zero-length result has an address of its own.
        data_.reset(static_cast<T*>(allocate_aligned((n == 0 ? 1 : n) * sizeof(T))));
    }

    std::unique_ptr<T[], Free> data_;
    std::size_t size_ = 0;
};

}  // namespace mosswick
