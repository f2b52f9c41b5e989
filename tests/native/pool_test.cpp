// Checks of the worker pool that Python cannot reach: nested operations, failing
// pieces, many submitting threads, a call told to stop, and a forked child. Built and
// run by test_pool.py.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.hpp"
#include "core/interrupt.hpp"
#include "core/pool.hpp"

using namespace mosswick;

#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "line %d: check failed: %s\n", __LINE__, #condition);     \
            std::exit(1);                                                                  \
        }                                                                                  \
    } while (0)

// 0 + 1 + ... + (n - 1), added on the pool piece by piece.
double sum_of_indices(std::size_t n) {
    return pool::sum_pieces(n, [](std::size_t begin, std::size_t end) {
        double s = -0.0;
        for (std::size_t i = begin; i < end; ++i) {
            s += static_cast<double>(i);
        }
        return s;
    });
}

// Every index is visited exactly once, whatever the size.
void each_index_once() {
    for (std::size_t n : {0, 1, 2, 3, 7, 100, 10'007, 1'000'003}) {
        std::vector<std::atomic<int>> hits(n);
        pool::for_range(n, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                hits[i].fetch_add(1);
            }
        });
        for (auto& h : hits) {
            CHECK(h.load() == 1);
        }
    }
}

void loops_follow_the_threshold_and_sums_are_exact() {
    // Rows stand for 7 elements each: the loop goes to the pool by the element count.
    std::vector<std::atomic<int>> rows(2'000);
    std::atomic<int> calls{0};
    pool::loop(rows.size(), [&](std::size_t begin, std::size_t end) {
        calls.fetch_add(1);
        for (std::size_t r = begin; r < end; ++r) {
            rows[r].fetch_add(1);
        }
    }, 7 * rows.size());
    for (auto& r : rows) {
        CHECK(r.load() == 1);
    }
    CHECK(calls.load() == static_cast<int>(pool::pieces_for(rows.size())));
    calls = 0;
    pool::loop(9'999, [&](std::size_t begin, std::size_t end) { calls.fetch_add(begin == 0 && end == 9'999); });
    CHECK(calls.load() == 1);  // below the threshold: one call on this thread
    CHECK(sum_of_indices(100'001) == 5'000'050'000.0);
    CHECK(sum_of_indices(0) == 0.0);
}

// Pieces that start parallel operations of their own, three levels deep.
void nested_operations_finish() {
    std::atomic<long> total{0};
    pool::for_range(16, [&](std::size_t b1, std::size_t e1) {
        for (std::size_t i = b1; i < e1; ++i) {
            pool::for_range(64, [&](std::size_t b2, std::size_t e2) {
                for (std::size_t j = b2; j < e2; ++j) {
                    total.fetch_add(static_cast<long>(sum_of_indices(100)));
                }
            });
        }
    });
    CHECK(total.load() == 16 * 64 * 4'950);
}

void failures_arrive_after_every_piece() {
    std::atomic<int> finished{0};
    std::string message;
    try {
        pool::for_range(1'000, [&](std::size_t begin, std::size_t end) {
            if (begin == 0) {
                throw ValueError("piece failed");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            finished.fetch_add(static_cast<int>(end - begin));
        });
    } catch (const InternalFailure& e) {
        message = e.what();
    }
    CHECK(message == "piece failed");
    CHECK(finished.load() == 1'000 - static_cast<int>(1'000 / pool::pieces_for(1'000)));
    bool out_of_memory = false;
    try {
        pool::for_range(10, [](std::size_t, std::size_t) { throw std::bad_alloc(); });
    } catch (const std::bad_alloc&) {
        out_of_memory = true;
    }
    CHECK(out_of_memory);
}

void many_submitting_threads() {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                const std::size_t n = 1'000 + static_cast<std::size_t>(t * 37 + round);
                const double s = sum_of_indices(n);
                wrong.fetch_add(s == static_cast<double>(n * (n - 1) / 2) ? 0 : 1);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    CHECK(wrong.load() == 0);
}

// Pieces that would run for ever, nested one level: the call's check says stop the second
// time it is asked. The pieces running stop at their next poll, the others never start,
// and the caller gets interrupt::Stopped once none is left running.
void a_stopped_call_ends_its_pieces() {
    struct StopWhenAskedTwice final : interrupt::Check {
        int asked = 0;
        bool stop() override { return ++asked == 2; }
    } check;
    const std::size_t workers = pool::worker_count();
    std::atomic<std::size_t> started{0};
    std::atomic<int> running{0};
    bool stopped = false;
    {
        const interrupt::Watch watch(check);
        try {
            pool::for_range(4 * workers, [&](std::size_t, std::size_t) {
                pool::for_range(4 * workers, [&](std::size_t, std::size_t) {
                    started.fetch_add(1);
                    running.fetch_add(1);
                    struct Leave {
                        std::atomic<int>& running;
                        ~Leave() { running.fetch_sub(1); }
                    } leave{running};
                    for (;;) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        interrupt::poll();
                    }
                });
            });
        } catch (const interrupt::Stopped&) {
            stopped = true;
        }
        CHECK(interrupt::requested());  // it stays stopped until the check is removed
    }
    CHECK(stopped && check.asked == 2);
    CHECK(started.load() <= workers && running.load() == 0);
    CHECK(!interrupt::requested());
    CHECK(sum_of_indices(50'000) == 1'249'975'000.0);  // the pool goes on
}

void forked_child_gets_a_working_pool() {
    const pid_t child = fork();
    CHECK(child >= 0);
    if (child == 0) {
        alarm(20);  // a hang ends the child with SIGALRM
        std::_Exit(sum_of_indices(50'000) == 1'249'975'000.0 ? 0 : 3);
    }
    int status = 0;
    CHECK(waitpid(child, &status, 0) == child);
    CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

int main() {
    each_index_once();
    loops_follow_the_threshold_and_sums_are_exact();
    nested_operations_finish();
    failures_arrive_after_every_piece();
    many_submitting_threads();
    a_stopped_call_ends_its_pieces();
    forked_child_gets_a_working_pool();
    std::printf("workers=%zu ok\n", pool::worker_count());
    return 0;
}
