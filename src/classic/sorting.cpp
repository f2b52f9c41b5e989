#include "classic/sorting.hpp"

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "classic/float_sort.hpp"
#include "classic/order.hpp"
#include "classic/partition.hpp"
#include "classic/sort_kernels.hpp"
#include "core/buffer.hpp"
#include "core/errors.hpp"
#include "core/interrupt.hpp"
#include "core/platform.hpp"

namespace mosswick::classic {

namespace {

constexpr std::size_t kThreadedMin = 50'000;

void mergesort_into(const SortKernels& kernels, std::int64_t* a, std::size_t n, std::int64_t* out);

// The merge of the ascending runs x[0, nx) and y[0, ny) into out, in pieces of at most
// kMergePiece outputs with a poll before each, so that a long merge can stop part-way.
// A piece ends where the first `end` outputs of the whole merge do: `taken` elements of
// x and end - taken of y, ties going to x first.
void merge_polled(const SortKernels& kernels, const std::int64_t* x, std::size_t nx, const std::int64_t* y,
                  std::size_t ny, std::int64_t* out) {
    constexpr std::size_t kMergePiece = std::size_t{1} << 20;
    std::size_t i = 0;
    std::size_t j = 0;
    for (std::size_t done = 0; done < nx + ny;) {
        poll_before_pass(nx + ny);
        const std::size_t end = std::min(nx + ny, done + kMergePiece);
        std::size_t lo = end > ny ? end - ny : 0;
        std::size_t hi = std::min(end, nx);
        while (lo < hi) {
            const std::size_t taken = lo + (hi - lo) / 2;
            if (x[taken] <= y[end - taken - 1]) {
                lo = taken + 1;
            } else {
                hi = taken;
            }
        }
        kernels.merge(x + i, lo - i, y + j, end - lo - j, out + done);
        i = lo;
        j = end - lo;
        done = end;
    }
}

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
    merge_polled(kernels, scratch, mid, scratch + mid, n - mid, a);
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
    merge_polled(kernels, a, mid, a + mid, n - mid, out);
}

// T, the number of chunks: one per processor, or four when that is unknown.
std::size_t logical_processors() {
    const std::size_t n = platform::processor_count();
    return n > 0 ? n : 4;
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

namespace {

void mergesort_words(std::int64_t* a, std::size_t n) {
    if (n < 2) {
        return;
    }
    // Recycled memory (core/buffer): a call in a loop does not fault in fresh pages.
    AlignedBuffer<std::int64_t> scratch = AlignedBuffer<std::int64_t>::uninitialized(n);
    mergesort_worker(dispatch<SortKernels>(), a, n, scratch.data());
}

void parallel_sort_words(std::int64_t* a, std::size_t n) {
    if (n < kThreadedMin) {
        quicksort_worker(a, n);
        return;
    }
    const std::size_t processors = logical_processors();
    const std::size_t chunk = (n + processors - 1) / processors;
    Chunks work;
    for (std::size_t begin = 0; begin < n; begin += chunk) {
        work.chunks.push_back({&work, a + begin, std::min(chunk, n - begin)});
    }
    sort_chunks_on_threads(work);

    // Merge rounds: runs 0 and 1, 2 and 3, ... into the other buffer; an odd last run is
    // carried over unchanged. Run order is kept, so ties keep their input order.
    // The other buffer is recycled memory (core/buffer), not fresh pages to fault in.
    const SortKernels& kernels = dispatch<SortKernels>();
    AlignedBuffer<std::int64_t> other = AlignedBuffer<std::int64_t>::uninitialized(n);
    std::int64_t* from = a;
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
            merge_polled(kernels, from + offset, first, from + offset + first, second, to + offset);
            merged.push_back(first + second);
            offset += first + second;
        }
        std::swap(from, to);
        runs = std::move(merged);
    }
    if (from != a) {
        std::copy(from, from + n, a);
    }
}

// The items sorted by `sort`: the values themselves, or the order of the items.
Picked<std::int64_t> sorted(Items<std::int64_t> items, WordSort sort) {
    Column<std::int64_t>& values = items.values;
    const std::size_t n = values.size();
    if (items.handles == nullptr) {
        sort(values.data(), n);
        return Picked<std::int64_t>::of_values(std::move(values));
    }
    Picked<std::int64_t> picked{std::move(values), items.handles, AlignedBuffer<std::uint64_t>::uninitialized(n), n};
    order_by_key(picked.values.data(), n, sort, picked.order.data());
    return picked;
}

}  // namespace

Picked<std::int64_t> quicksort(Items<std::int64_t> arr) {
    return sorted(std::move(arr), quicksort_worker);
}

Picked<std::int64_t> mergesort(Items<std::int64_t> arr) {
    return sorted(std::move(arr), mergesort_words);
}

Picked<std::int64_t> parallel_sort(Items<std::int64_t> arr) {
    return sorted(std::move(arr), parallel_sort_words);
}

Picked<double> quicksort_f64(Items<double> arr) {
    Column<double>& values = arr.values;
    const std::size_t n = values.size();
    if (arr.handles == nullptr) {
        sort_doubles(values.data(), n);
        return Picked<double>::of_values(std::move(values));
    }
    Picked<double> picked{std::move(values), arr.handles, AlignedBuffer<std::uint64_t>::uninitialized(n), n};
    order_doubles(picked.values.data(), n, picked.order.data());
    return picked;
}

}  // namespace mosswick::classic
