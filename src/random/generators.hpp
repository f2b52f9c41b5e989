// The two ChaCha12 stream generators: SeededGenerator, keyed from a seed and owned by
// one call, and ThreadGenerator, one per thread, keyed from the operating system's
// entropy source and rekeyed every 65,536 bytes of output and after every fork.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "random/chacha.hpp"

namespace mosswick::random {

// The PCG32 output function run eight times from `seed`: the eight key words.
Key expand_seed(std::uint64_t seed);

// A keystream read through a buffer that is refilled, four blocks (64 words) at a
// time, when it runs empty.
class Generator {
public:
    static constexpr std::size_t kMaxRefills = 2;  // refills computed by one call of the block function

    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    std::uint32_t next_u32() {
        if (index_ == end_) {
            refill();
        }
        return buffer_[index_++];
    }

    // Two consecutive words, low half first; the pair may straddle a refill.
    std::uint64_t next_u64() {
        if (index_ + 2 <= end_) {
            const std::uint64_t w = buffer_[index_] | std::uint64_t{buffer_[index_ + 1]} << 32;
            index_ += 2;
            return w;
        }
        const std::uint64_t low = next_u32();
        return low | std::uint64_t{next_u32()} << 32;
    }

    // The most 64-bit words for_each_run hands over at once.
    static constexpr std::size_t kMaxRun = kMaxRefills * kRefillWords / 2;

    // Hands over the next `count` 64-bit words, exactly as `count` calls of next_u64
    // would, as runs f(words, k) in stream order: k <= kMaxRun words, stored as 2k
    // 32-bit words with the low half of each first. A word whose halves straddle a
    // refill comes as a run of one. f must not draw from this generator.
    template <class F>
    void for_each_run(std::size_t count, F&& f) {
        while (count > 0) {
            if (index_ == end_) {
                refill();
            }
            if (index_ + 1 == end_) {
                const std::uint32_t low = buffer_[index_++];
                const std::uint32_t pair[2] = {low, next_u32()};
                f(pair, std::size_t{1});
                --count;
                continue;
            }
            const std::size_t run = std::min(count, (end_ - index_) / 2);
            const std::uint32_t* words = buffer_.data() + index_;
            f(words, run);
            index_ += 2 * run;
            count -= run;
        }
    }

protected:
    explicit Generator(const Key& key) : key_(key) {}
    ~Generator() = default;

    // A new key starts a new stream at block 0; words still buffered are kept.
    void rekey(const Key& key) {
        key_ = key;
        counter_ = 0;
    }

    // Replaces the buffer with the next `refills` refills of four blocks each (at most
    // kMaxRefills), to be read from its first word.
    void generate(std::size_t refills);

private:
    virtual void refill() = 0;

    alignas(64) std::array<std::uint32_t, kMaxRefills * kRefillWords> buffer_{};
    std::size_t index_ = 0;
    std::size_t end_ = 0;  // words buffered; index_ == end_ means empty
    Key key_;
    std::uint64_t counter_ = 0;
};

// Built by a call from its seed, drawn from in one fixed order, discarded at its end.
class SeededGenerator final : public Generator {
public:
    explicit SeededGenerator(std::uint64_t seed) : Generator(expand_seed(seed)) {}

private:
    // Two refills at a time: the same words in the same order, computed with more
    // parallelism. Nothing of a seeded stream depends on where refills fall.
    void refill() override { generate(kMaxRefills); }
};

class ThreadGenerator final : public Generator {
public:
    static constexpr std::int64_t RESEED_THRESHOLD = 65'536;  // bytes of output per key

    // The calling thread's generator, created and keyed on the thread's first call.
    // Throws InternalFailure when the entropy source or the fork hook fails.
    static ThreadGenerator& current();

private:
    ThreadGenerator();
    void refill() override;

    std::int64_t bytes_until_reseed_ = RESEED_THRESHOLD;
    std::uint64_t fork_snapshot_ = 0;
};

}  // namespace mosswick::random
