// Releases the interpreter lock for the lifetime of the guard; it is taken back on
// every exit, including while an exception unwinds. On the main thread, the one where
// Python runs signal handlers, the guard also lets a routine that may stop part-way do
// so: asked (core/interrupt.hpp), it takes the lock back for a moment and runs the
// handlers of the signals that arrived; one that raises (KeyboardInterrupt, for
// Ctrl-C) stops the call, and its exception is what the call raises.
#pragma once

#include <optional>

#include "core/interrupt.hpp"
#include "frame/python.hpp"

namespace mosswick::frame {

enum class Gil { hold, release };

// Whether the calling thread is the process's main thread, where Python handles
// signals. Asked with the interpreter lock held.
bool on_main_thread();

// In a forked child, whose main thread is the one that forked: forgets the parent's.
void forget_main_thread();

class GilRelease final : interrupt::Check {
public:
    // `may_stop`: whether the routine may stop part-way.
    explicit GilRelease(bool may_stop) {
        const bool watch = may_stop && on_main_thread();
        state_ = PyEval_SaveThread();
        if (watch) {
            watch_.emplace(static_cast<interrupt::Check&>(*this));
        }
    }
    ~GilRelease() {
        watch_.reset();
        PyEval_RestoreThread(state_);
    }
    GilRelease(const GilRelease&) = delete;
    GilRelease& operator=(const GilRelease&) = delete;

private:
    bool stop() override;

    PyThreadState* state_;
    std::optional<interrupt::Watch> watch_;
};

// Runs f with the lock released when G says so.
template <Gil G, bool MayStop, class F>
decltype(auto) run_with(F&& f) {
    if constexpr (G == Gil::release) {
        GilRelease released(MayStop);
        return f();
    } else {
        return f();
    }
}

}  // namespace mosswick::frame
