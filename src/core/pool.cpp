// The scheduler: one FIFO of jobs shared by W workers. A job is a number of
// pieces that workers claim one at a time with an atomic counter, so every
// piece runs exactly once whichever worker takes it. A thread outside the pool
// queues its job and sleeps on the job's latch; a worker that starts a nested
// job queues it at the front and works on it itself, so nesting cannot deadlock:
// a worker only ever waits for pieces that other threads are already running.
// A caller whose call can be stopped wakes every interval to ask; once it is to stop,
// the job's remaining pieces are skipped and the running ones stop at their next poll.
#include "core/pool.hpp"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "core/errors.hpp"
#include "core/interrupt.hpp"
#include "core/platform.hpp"

namespace mosswick::pool {

namespace {

constexpr std::size_t kWorkerStackBytes = 0x200000;
constexpr std::size_t kPiecesPerWorker = 4;

// W when nothing sets it: one worker per processor, or one when that is unknown.
std::size_t processor_count() {
    const std::size_t n = platform::processor_count();
    return n > 0 ? n : 1;
}

class Job {
public:
    // A nested job stops with the job whose piece started it: it follows the same flag.
    Job(std::size_t pieces, PieceTask task, const interrupt::Flag* parent)
        : pieces_(pieces), unfinished_(pieces), task_(task), stop_(parent != nullptr ? *parent : own_) {}

    bool exhausted() const { return next_.load(std::memory_order_relaxed) >= pieces_; }

    // Claims and runs pieces until none is left to claim; once the job is to stop, the
    // pieces claimed are skipped.
    void work() {
        const interrupt::Follow follow(stop_);
        for (std::size_t p = claim(); p < pieces_; p = claim()) {
            try {
                if (!stop_.raised()) {
                    task_(p);
                }
            } catch (...) {
                record(std::current_exception());
            }
            if (unfinished_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
                std::lock_guard lock(mutex_);
                done_ = true;
                changed_.notify_all();
            }
        }
    }

    // A worker joins only while the job is queued (under the pool's lock) and leaves here;
    // after leaving it never touches the job again.
    void join() { participants_.fetch_add(1, std::memory_order_relaxed); }
    void leave() {
        std::lock_guard lock(mutex_);
        if (participants_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            changed_.notify_all();
        }
    }

    void wait_until_done() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_; });
    }

    // For a caller whose call can be stopped: asks whether to stop between slices of the
    // check's interval. Returns whether the call is to stop (the job has ended either way).
    bool wait_until_done_or_stopped() {
        return interrupt::wait_or_stop(mutex_, changed_, own_, [&] { return done_; });
    }

    void wait_until_left() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return participants_.load(std::memory_order_acquire) == 0; });
    }

    void rethrow_failure() {
        if (!error_) {
            return;
        }
        try {
            std::rethrow_exception(error_);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const interrupt::Stopped&) {
            throw;
        } catch (const std::exception& e) {
            throw InternalFailure(e.what());
        } catch (...) {
            throw InternalFailure("a parallel task failed");
        }
    }

private:
    std::size_t claim() { return next_.fetch_add(1, std::memory_order_relaxed); }

    void record(std::exception_ptr error) {
        std::lock_guard lock(mutex_);
        if (!error_) {
            error_ = std::move(error);
        }
    }

    const std::size_t pieces_;
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> unfinished_;
    std::atomic<int> participants_{0};
    PieceTask task_;
    interrupt::Flag own_;
    const interrupt::Flag& stop_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::exception_ptr error_;
};

class Pool;
thread_local Pool* worker_of = nullptr;

class Pool {
public:
    explicit Pool(std::size_t workers) : workers_(workers) {}

    std::size_t size() const { return workers_; }

    // Starts every worker; on failure stops the ones started and throws.
    void start() {
        // With one worker per available processor, each worker keeps to its own: left
        // to the scheduler, workers woken together are often queued on the waker's
        // processor while another one idles, and a call runs at the speed of one.
        const std::vector<int> processors = platform::allowed_processors();
        const bool one_each = processors.size() == workers_;
        threads_.reserve(workers_);  // allocated first: nothing below throws once threads run
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, kWorkerStackBytes);
        // Workers never handle signals: they stay with the interpreter's threads.
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        int failure = 0;
        for (std::size_t i = 0; i < workers_ && failure == 0; ++i) {
            pthread_t thread;
            failure = pthread_create(&thread, &attr, &Pool::main, this);
            if (failure == 0) {
                threads_.push_back(thread);
                if (one_each) {
                    platform::keep_to_processor(thread, processors[i]);
                }
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        pthread_attr_destroy(&attr);
        if (failure != 0) {
            {
                std::lock_guard lock(mutex_);
                stopping_ = true;
            }
            wake_.notify_all();
            for (pthread_t thread : threads_) {
                pthread_join(thread, nullptr);
            }
            throw InternalFailure(std::string("The global thread pool has not been initialized. (a worker thread "
                                              "could not be started: ") +
                                  std::strerror(failure) + ")");
        }
    }

    void run(std::size_t pieces, PieceTask task) {
        const bool nested = worker_of == this;
        Job job(pieces, task, nested ? interrupt::followed() : nullptr);
        {
            std::lock_guard lock(mutex_);
            if (nested) {
                queue_.push_front(&job);
            } else {
                queue_.push_back(&job);
            }
        }
        wake_.notify_all();
        if (nested) {
            job.work();
        }
        bool stopped = false;
        if (!nested && interrupt::watched()) {
            stopped = job.wait_until_done_or_stopped();
        } else {
            job.wait_until_done();
        }
        {
            std::lock_guard lock(mutex_);
            const auto it = std::find(queue_.begin(), queue_.end(), &job);
            if (it != queue_.end()) {
                queue_.erase(it);
            }
        }
        job.wait_until_left();
        if (stopped) {
            throw interrupt::Stopped{};
        }
        job.rethrow_failure();
    }

private:
    static void* main(void* self) {
        static_cast<Pool*>(self)->serve();
        return nullptr;
    }

    void serve() {
        worker_of = this;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            Job* job = queue_.front();
            if (job->exhausted()) {
                queue_.pop_front();
                continue;
            }
            job->join();
            lock.unlock();
            job->work();
            job->leave();
            lock.lock();
        }
    }

    const std::size_t workers_;
    std::vector<pthread_t> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job*> queue_;  // jobs with pieces left to claim; nested ones at the front
    bool stopping_ = false;
};

// ---- the one pool of the process ----

std::atomic<Pool*> the_pool{nullptr};
pthread_mutex_t creation = PTHREAD_MUTEX_INITIALIZER;

// A forked child has none of the parent's threads: it starts a pool of its own on
// first use. The parent's pool object is abandoned there, never touched again.
void forget_pool_in_child() {
    the_pool.store(nullptr, std::memory_order_relaxed);
    pthread_mutex_init(&creation, nullptr);
}

// Digits with one optional leading '+', fitting 64 bits; anything else does not parse.
std::optional<std::uint64_t> parse_count(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string_view s(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty() || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return value;
}



std::size_t configured_workers() {
    if (const auto n = parse_count(std::getenv("RAYON_NUM_THREADS"))) {
        return *n > 0 ? static_cast<std::size_t>(*n) : processor_count();
    }
    if (const auto n = parse_count(std::getenv("RAYON_RS_NUM_CPUS")); n && *n > 0) {
        return static_cast<std::size_t>(*n);
    }
    return processor_count();
}

Pool& instance() {
    if (Pool* pool = the_pool.load(std::memory_order_acquire)) {
        return *pool;
    }
    pthread_mutex_lock(&creation);
    struct Unlock {
        ~Unlock() { pthread_mutex_unlock(&creation); }
    } unlock;
    if (Pool* pool = the_pool.load(std::memory_order_acquire)) {
        return *pool;
    }
    static const bool registered = pthread_atfork(nullptr, nullptr, forget_pool_in_child) == 0;
    if (!registered) {
        throw InternalFailure("The global thread pool has not been initialized. (fork handler not registered)");
    }
    auto pool = std::make_unique<Pool>(configured_workers());
    pool->start();
    the_pool.store(pool.get(), std::memory_order_release);
    return *pool.release();
}

}  // namespace

std::size_t worker_count() {
    return instance().size();
}

std::size_t pieces_for(std::size_t n) {
    return n == 0 ? 0 : std::min(n, worker_count() * kPiecesPerWorker);
}

void run(std::size_t pieces, PieceTask task) {
    if (pieces > 0) {
        instance().run(pieces, task);
    }
}

}  // namespace mosswick::pool
