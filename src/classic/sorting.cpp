#include "classic/sorting.hpp"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "classic/float_sort.hpp"
#include "classic/partition.hpp"
#include "core/errors.hpp"

namespace mosswick::classic {

namespace {

constexpr std::size_t kInsertionSortMax = 16;
constexpr std::size_t kThreadedMin = 50'000;

void insertion_sort(std::int64_t* a, std::size_t n) {
    for (std::size_t i = 1; i < n; ++i) {
        const std::int64_t x = a[i];
        std::size_t j = i;
        for (; j > 0 && x < a[j - 1]; --j) {
            a[j] = a[j - 1];
        }
        a[j] = x;
    }
}

// Writes the stable merge of x[0, nx) and y[0, ny) to out; ties come from x. The
// smallest elements are taken from the front while the largest are taken from the
// back, two independent chains of comparisons that the processor overlaps.
void merge_two(const std::int64_t* x, std::size_t nx, const std::int64_t* y, std::size_t ny, std::int64_t* out) {
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t x_end = nx;
    std::size_t y_end = ny;
    std::size_t front = 0;
    std::size_t back = nx + ny;
    // Each step consumes one element per end, so back - front stays the number of
    // elements left in x[i, x_end) and y[j, y_end).
    while (i < x_end && j < y_end) {
        const bool y_first = y[j] < x[i];
        out[front++] = y_first ? y[j] : x[i];
        j += y_first;
        i += !y_first;
        if (i == x_end || j == y_end) {
            break;
        }
        const bool x_last = y[y_end - 1] < x[x_end - 1];
        out[--back] = x_last ? x[x_end - 1] : y[y_end - 1];
        x_end -= x_last;
        y_end -= !x_last;
    }
    while (i < x_end && j < y_end) {
        const bool y_first = y[j] < x[i];
        out[front++] = y_first ? y[j] : x[i];
        j += y_first;
        i += !y_first;
    }
    std::copy(x + i, x + x_end, out + front);
    std::copy(y + j, y + y_end, out + front + (x_end - i));
}

void mergesort_into(std::int64_t* a, std::size_t n, std::int64_t* out);

// Top-down merge sort of a[0, n) in place: both halves are sorted into the scratch
// array and merged back, so every level moves the data once.
void mergesort_worker(std::int64_t* a, std::size_t n, std::int64_t* scratch) {
    if (n < 2) {
        return;
    }
    const std::size_t mid = n / 2;
    mergesort_into(a, mid, scratch);
    mergesort_into(a + mid, n - mid, scratch + mid);
    merge_two(scratch, mid, scratch + mid, n - mid, a);
}

// Sorts a[0, n) into out[0, n), using a as its scratch array.
void mergesort_into(std::int64_t* a, std::size_t n, std::int64_t* out) {
    if (n < 2) {
        std::copy(a, a + n, out);
        return;
    }
    const std::size_t mid = n / 2;
    mergesort_worker(a, mid, out);
    mergesort_worker(a + mid, n - mid, out + mid);
    merge_two(a, mid, a + mid, n - mid, out);
}

std::size_t logical_processors() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<std::size_t>(CPU_COUNT(&set));
    }
    return 4;
}

struct Chunk {
    std::int64_t* data;
    std::size_t size;
};

void* sort_chunk(void* chunk) {
    auto* c = static_cast<Chunk*>(chunk);
    quicksort_worker(c->data, c->size);
    return nullptr;
}

// Sorts every chunk on a thread of its own and joins them all. A thread that cannot
// be started fails the call once the threads already running have finished.
void sort_chunks_on_threads(std::vector<Chunk>& chunks) {
    std::vector<pthread_t> threads;
    threads.reserve(chunks.size());
    int error = 0;
    for (Chunk& c : chunks) {
        pthread_t thread;
        error = pthread_create(&thread, nullptr, sort_chunk, &c);
        if (error != 0) {
            break;
        }
        threads.push_back(thread);
    }
    for (pthread_t thread : threads) {
        pthread_join(thread, nullptr);
    }
    if (error != 0) {
        throw InternalFailure("failed to spawn thread: " + std::string(std::strerror(error)) + " (os error " +
                              std::to_string(error) + ")");
    }
}

}  // namespace

void quicksort_worker(std::int64_t* a, std::size_t n) {
    while (n > kInsertionSortMax) {
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
    insertion_sort(a, n);
}

std::vector<std::int64_t> quicksort(std::vector<std::int64_t> arr) {
    quicksort_worker(arr.data(), arr.size());
    return arr;
}

std::vector<std::int64_t> mergesort(std::vector<std::int64_t> arr) {
    if (arr.size() < 2) {
        return arr;
    }
    std::vector<std::int64_t> scratch(arr.size());
    mergesort_worker(arr.data(), arr.size(), scratch.data());
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
    std::vector<Chunk> chunks;
    for (std::size_t begin = 0; begin < n; begin += chunk) {
        chunks.push_back({arr.data() + begin, std::min(chunk, n - begin)});
    }
    sort_chunks_on_threads(chunks);

    // Merge rounds: runs 0 and 1, 2 and 3, ... into the other buffer; an odd last run is
    // carried over unchanged. Run order is kept, so ties keep their input order.
    std::vector<std::int64_t> other(n);
    std::vector<std::size_t> runs;  // run lengths, consecutive in `arr`
    for (const Chunk& c : chunks) {
        runs.push_back(c.size);
    }
    while (runs.size() > 1) {
        std::vector<std::size_t> merged;
        std::size_t offset = 0;
        for (std::size_t r = 0; r < runs.size(); r += 2) {
            const std::size_t first = runs[r];
            const std::size_t second = r + 1 < runs.size() ? runs[r + 1] : 0;
            merge_two(arr.data() + offset, first, arr.data() + offset + first, second, other.data() + offset);
            merged.push_back(first + second);
            offset += first + second;
        }
        arr.swap(other);
        runs = std::move(merged);
    }
    return arr;
}

std::vector<double> quicksort_f64(std::vector<double> arr) {
    sort_doubles(arr.data(), arr.size());
    return arr;
}

}  // namespace mosswick::classic
