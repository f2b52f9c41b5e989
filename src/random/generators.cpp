#include "random/generators.hpp"

#include <pthread.h>
#include <sys/random.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "core/errors.hpp"

namespace mosswick::random {

namespace {

constexpr std::size_t kEntropyCallLimit = 256;  // the most getentropy hands out per call
constexpr auto kRefillBytes = static_cast<std::int64_t>(kRefillWords * sizeof(std::uint32_t));

// Moved by the fork hook in both processes around every fork; a ThreadGenerator that
// sees it move past its snapshot rekeys before its next refill.
std::atomic<std::uint64_t> FORK_COUNTER{0};

void count_fork() {
    FORK_COUNTER.fetch_add(1, std::memory_order_relaxed);
}

void register_fork_hook() {
    static const int failure = pthread_atfork(count_fork, count_fork, count_fork);
    if (failure != 0) {
        throw InternalFailure(std::string("could not register the fork handler of the random generators: ") +
                              std::strerror(failure));
    }
}

void fill_from_entropy(unsigned char* bytes, std::size_t n) {
    for (std::size_t done = 0; done < n;) {
        const std::size_t chunk = std::min(n - done, kEntropyCallLimit);
        if (getentropy(bytes + done, chunk) != 0) {
            throw InternalFailure(std::string("the operating system's entropy source failed: ") +
                                  std::strerror(errno));
        }
        done += chunk;
    }
}

// 32 bytes from the entropy source, read as eight little-endian words.
Key entropy_key() {
    unsigned char bytes[32];
    fill_from_entropy(bytes, sizeof bytes);
    Key key;
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = std::uint32_t{bytes[4 * i]} | std::uint32_t{bytes[4 * i + 1]} << 8 |
                 std::uint32_t{bytes[4 * i + 2]} << 16 | std::uint32_t{bytes[4 * i + 3]} << 24;
    }
    return key;
}

// A new thread's first key; the fork hook is in place before any generator exists.
Key first_thread_key() {
    register_fork_hook();
    return entropy_key();
}

}  // namespace

Key expand_seed(std::uint64_t seed) {
    std::uint64_t state = seed;
    Key key;
    for (std::uint32_t& word : key) {
        state = state * 6364136223846793005u + 11634580027462260723u;
        const auto x = static_cast<std::uint32_t>(((state >> 18) ^ state) >> 27);
        const auto r = static_cast<unsigned>(state >> 59);
        word = (x >> r) | (x << ((32 - r) & 31));
    }
    return key;
}

void Generator::generate(std::size_t refills) {
    chacha12_blocks(key_, counter_, {buffer_.data(), refills * kRefillWords});
    counter_ += refills * kBlocksPerRefill;
    index_ = 0;
    end_ = refills * kRefillWords;
}

ThreadGenerator& ThreadGenerator::current() {
    thread_local ThreadGenerator generator;
    return generator;
}

ThreadGenerator::ThreadGenerator() : Generator(first_thread_key()) {}

void ThreadGenerator::refill() {
    const std::uint64_t forks = FORK_COUNTER.load(std::memory_order_relaxed);
    const bool fork_seen = static_cast<std::int64_t>(fork_snapshot_ - forks) < 0;
    if (bytes_until_reseed_ >= 1 && !fork_seen) {
        bytes_until_reseed_ -= kRefillBytes;
    } else {
        rekey(entropy_key());
        bytes_until_reseed_ = RESEED_THRESHOLD - kRefillBytes;
        fork_snapshot_ = forks;
    }
    generate(1);  // one refill at a time: every refill checks for a fork or a due rekey
}

}  // namespace mosswick::random
