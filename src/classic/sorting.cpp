#include "classic/sorting.hpp"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "classic/float_sort.hpp"
#include "classic/partition.hpp"
#include "classic/sort_kernels.hpp"
#include "core/buffer.hpp"
#include "core/errors.hpp"
#include "core/interrupt.hpp"

namespace mosswick::classic {

namespace {

constexpr std::size_t kThreadedMin = 50'000;

void mergesort_into(const SortKernels& kernels, std::int64_t* a, std::size_t n, std::int64_t* out);

// Top-down merge sort of a[0, n) in place: both halves are sorted into the scratch
// array and merged back, so every level moves the data once. Blocks of up to
// small_max elements are sorted in one piece (for integers, which equal elements
// cannot be told apart, any sort of a block is as good as a stable one).
void mergesort_worker(const SortKernels& kernels, std::int64_t* a, std::size_t n, std::int64_t* scratch) {
    if (n <= kernels.small_max) {
        kernels.sort_small(a, a, n);
        return;
    }
    const std::size_t mid = n / 2;
    mergesort_into(kernels, a, mid, scratch);
    mergesort_into(kernels, a + mid, n - mid, scratch + mid);
    poll_before_pass(n);
    kernels.merge(scratch, mid, scratch + mid, n - mid, a);
}

// Sorts a[0, n) into out[0, n), using a as its scratch array.
void mergesort_into(const SortKernels& kernels, std::int64_t* a, std::size_t n, std::int64_t* out) {
    if (n <= kernels.small_max) {
        kernels.sort_small(a, out, n);
        return;
    }
    const std::size_t mid = n / 2;
    mergesort_worker(kernels, a, mid, out);
    mergesort_worker(kernels, a + mid, n - mid, out + mid);
    poll_before_pass(n);
    kernels.merge(a, mid, a + mid, n - mid, out);
}

std::size_t logical_processors() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<std::size_t>(CPU_COUNT(&set));
    }
    return 4;
}

// The chunk threads of one call: each sorts its chunk while following the call's stop
// flag, and the last to end wakes the caller.
struct Chunks {
    struct Chunk {
        Chunks* owner;
        std::int64_t* data;
        std::size_t size;
    };

    std::vector<Chunk> chunks;
    interrupt::Flag stop;
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t running = 0;

    static void* sort(void* argument) {
        auto* c = static_cast<Chunk*>(argument);
        {
            interrupt::Follow follow(c->owner->stop);
            try {
                quicksort_worker(c->data, c->size);
            } catch (const interrupt::Stopped&) {
                // the caller stops the call once every chunk thread has ended
            }
        }
        std::lock_guard lock(c->owner->mutex);
        if (--c->owner->running == 0) {
            c->owner->ended.notify_all();
        }
        return nullptr;
    }

};

// Sorts every chunk on a thread of its own and joins them all. A thread that cannot
// be started fails the call once the threads already running have finished.
void sort_chunks_on_threads(Chunks& work) {
    std::vector<pthread_t> threads;
    threads.reserve(work.chunks.size());
    int error = 0;
    for (Chunks::Chunk& c : work.chunks) {
        {
            std::lock_guard lock(work.mutex);
            ++work.running;
        }
        pthread_t thread;
        error = pthread_create(&thread, nullptr, Chunks::sort, &c);
        if (error != 0) {
            std::lock_guard lock(work.mutex);
            --work.running;
            break;
        }
        threads.push_back(thread);
    }
    const bool stopped = interrupt::wait_or_stop(work.mutex, work.ended, work.stop, [&] { return work.running == 0; });
    for (pthread_t thread : threads) {
        pthread_join(thread, nullptr);
    }
    if (stopped) {
        throw interrupt::Stopped{};
    }
    if (error != 0) {
        throw InternalFailure("failed to spawn thread: " + std::string(std::strerror(error)) + " (os error " +
                              std::to_string(error) + ")");
    }
}

}  // namespace

void quicksort_worker(std::int64_t* a, std::size_t n) {
    const SortKernels& kernels = dispatch<SortKernels>();
    while (n > kernels.small_max) {
        const auto [lt, gt] = three_way_partition(a, n);
        // Recurse into the smaller side and loop on the other: depth stays below log2 n.
        if (lt < n - gt) {
            quicksort_worker(a, lt);
            a += gt;
            n -= gt;
        } else {
            quicksort_worker(a + gt, n - gt);
            n = lt;
        }
    }
    kernels.sort_small(a, a, n);
}

std::vector<std::int64_t> quicksort(std::vector<std::int64_t> arr) {
    quicksort_worker(arr.data(), arr.size());
    return arr;
}

std::vector<std::int64_t> mergesort(std::vector<std::int64_t> arr) {
    if (arr.size() < 2) {
        return arr;
    }
    // Recycled memory (core/buffer): a call in a loop does not fault in fresh pages.
    AlignedBuffer<std::int64_t> scratch = AlignedBuffer<std::int64_t>::uninitialized(arr.size());
    mergesort_worker(dispatch<SortKernels>(), arr.data(), arr.size(), scratch.data());
    return arr;
}

std::vector<std::int64_t> parallel_sort(std::vector<std::int64_t> arr) {
    const std::size_t n = arr.size();
    if (n < kThreadedMin) {
        quicksort_worker(arr.data(), n);
        return arr;
    }
    const std::size_t processors = logical_processors();
    const std::size_t chunk = (n + processors - 1) / processors;
    Chunks work;
    for (std::size_t begin = 0; begin < n; begin += chunk) {
        work.chunks.push_back({&work, arr.data() + begin, std::min(chunk, n - begin)});
    }
    sort_chunks_on_threads(work);

    // Merge rounds: runs 0 and 1, 2 and 3, ... into the other buffer; an odd last run is
    // carried over unchanged. Run order is kept, so ties keep their input order.
    // The other buffer is recycled memory (core/buffer), not fresh pages to fault in.
    const SortKernels& kernels = dispatch<SortKernels>();
    AlignedBuffer<std::int64_t> other = AlignedBuffer<std::int64_t>::uninitialized(n);
    std::int64_t* from = arr.data();
    std::int64_t* to = other.data();
    std::vector<std::size_t> runs;  // run lengths, consecutive in `from`
    for (const Chunks::Chunk& c : work.chunks) {
        runs.push_back(c.size);
    }
    while (runs.size() > 1) {
        std::vector<std::size_t> merged;
        std::size_t offset = 0;
        for (std::size_t r = 0; r < runs.size(); r += 2) {
            const std::size_t first = runs[r];
            const std::size_t second = r + 1 < runs.size() ? runs[r + 1] : 0;
            poll_before_pass(first + second);
            kernels.merge(from + offset, first, from + offset + first, second, to + offset);
            merged.push_back(first + second);
            offset += first + second;
        }
        std::swap(from, to);
        runs = std::move(merged);
    }
    if (from != arr.data()) {
        std::copy(from, from + n, arr.data());
    }
    return arr;
}

std::vector<double> quicksort_f64(std::vector<double> arr) {
    sort_doubles(arr.data(), arr.size());
    return arr;
}

}  // namespace mosswick::classic
