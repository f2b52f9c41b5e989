// The element buffer of tensors: one allocation that several tensors may hold at
// once, counted with atomic operations so that holders on different threads may
// come and go. Writers first make their holder the only one (copy-on-write).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <utility>

#include "core/buffer.hpp"

namespace mosswick::tensor {

class SharedBuffer {
public:
    explicit SharedBuffer(AlignedBuffer<double> values) : block_(new Block{{1}, std::move(values)}) {}

    SharedBuffer(const SharedBuffer& other) noexcept : block_(other.block_) {
        block_->holders.fetch_add(1, std::memory_order_relaxed);
    }
    SharedBuffer(SharedBuffer&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    SharedBuffer& operator=(SharedBuffer other) noexcept {
        std::swap(block_, other.block_);
        return *this;
    }
    ~SharedBuffer() { drop(); }

    const double* data() const { return block_->values.data(); }
    std::size_t size() const { return block_->values.size(); }

    // The values, writable: copied into a buffer of this holder's own first if another
    // holder exists, so no other holder ever sees the change.
    double* exclusive() {
        // Acquire: once the other holders have let go, their last reads come before our writes.
        if (block_->holders.load(std::memory_order_acquire) != 1) {
            auto copy = AlignedBuffer<double>::uninitialized(size());
            std::copy_n(data(), size(), copy.data());
            *this = SharedBuffer(std::move(copy));
        }
        return block_->values.data();
    }

private:
    struct Block {
        std::atomic<std::size_t> holders;
        AlignedBuffer<double> values;
    };

    void drop() noexcept {
        if (block_ != nullptr && block_->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete block_;
        }
    }

    Block* block_;
};

}  // namespace mosswick::tensor
