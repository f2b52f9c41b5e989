// Stopping a long call part-way. Kernels poll at coarse boundaries; whether the call
// is to stop is decided on the thread that called in, by a check the binding installs
// there (asked at most once per interval, so polling costs a clock read); pool workers
// follow the flag of the call they work for, which its caller raises once its check
// says stop. A poll that finds the call stopping throws Stopped, which unwinds
// through the kernel, releasing what it holds, to the boundary.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace mosswick::interrupt {

// Thrown by poll(). Deliberately not an Error: nothing on the way out turns it into a
// failure of another kind, and the boundary knows why its call stopped.
struct Stopped {};

// How often, at most, a thread's check is asked.
inline constexpr std::chrono::milliseconds kInterval{50};

// Whether the call that this thread runs, or works for, is to stop.
bool requested();

// Throws Stopped when the call is to stop.
inline void poll() {
    if (requested()) {
        throw Stopped{};
    }
}

// Polls once per kWork units of work, for loops whose single steps are too short to
// poll each: a unit is about one arithmetic operation.
class Pacer {
public:
    static constexpr std::size_t kWork = std::size_t{1} << 18;

    void add(std::size_t work) {
        done_ += work;
        if (done_ >= kWork) {
            done_ = 0;
            poll();
        }
    }

private:
    std::size_t done_ = 0;
};

// Raised by a call's caller when its check says stop; threads working for the call follow it.
class Flag {
public:
    void raise() { raised_.store(true, std::memory_order_relaxed); }
    bool raised() const { return raised_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> raised_{false};
};

// For a call's caller waiting on threads that work for it: waits until done() holds (read
// under `mutex`, announced through `changed`), asking between slices of kInterval
// whether the call is to stop. If so, raises `flag` for the threads that follow it and
// still waits for done(). Returns whether the call is to stop.
template <class Done>
bool wait_or_stop(std::mutex& mutex, std::condition_variable& changed, Flag& flag, Done done) {
    for (;;) {
        const bool stop = requested();
        std::unique_lock lock(mutex);
        if (stop) {
            flag.raise();
            changed.wait(lock, done);
            return true;
        }
        if (changed.wait_for(lock, kInterval, done)) {
            return false;
        }
    }
}

// Decides for the thread that called in whether its call is to stop.
class Check {
public:
    // Asked at most once per kInterval, counted from the call's first poll, and not
    // again once it has said true.
    virtual bool stop() = 0;

protected:
    ~Check() = default;
};

// What a thread knows of the call it runs or works for (see Watch and Follow).
struct ThreadState {
    Check* check = nullptr;
    std::int64_t next_check = 0;  // in nanoseconds of a coarse monotonic clock; 0 before the first poll
    bool stopped = false;         // the check has said stop
    const Flag* flag = nullptr;
};

// Installs `check` on the calling thread for the guard's lifetime (guards nest).
class Watch {
public:
    explicit Watch(Check& check);
    ~Watch() { *thread_ = saved_; }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

private:
    ThreadState* thread_;
    ThreadState saved_;
};

// Whether a check is installed on the calling thread.
bool watched();

// Makes the calling thread (one that works for another thread's call) poll `flag` for
// the guard's lifetime.
class Follow {
public:
    explicit Follow(const Flag& flag);
    ~Follow();
    Follow(const Follow&) = delete;
    Follow& operator=(const Follow&) = delete;

private:
    const Flag* previous_;
};

// The flag the calling thread follows, or null.
const Flag* followed();

}  // namespace mosswick::interrupt
