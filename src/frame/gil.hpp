// Releases the interpreter lock for the lifetime of the guard; it is taken
// back on every exit, including while an exception unwinds.
#pragma once

#include "frame/python.hpp"

namespace mosswick::frame {

enum class Gil { hold, release };

class GilRelease {
public:
    GilRelease() : state_(PyEval_SaveThread()) {}
    ~GilRelease() { PyEval_RestoreThread(state_); }
    GilRelease(const GilRelease&) = delete;
    GilRelease& operator=(const GilRelease&) = delete;

private:
    PyThreadState* state_;
};

// Runs f with the lock released when G says so.
template <Gil G, class F>
decltype(auto) run_with(F&& f) {
    if constexpr (G == Gil::release) {
        GilRelease released;
        return f();
    } else {
        return f();
    }
}

}  // namespace mosswick::frame
