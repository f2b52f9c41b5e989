// Ctrl-C while a call converts a long input or builds a long result, the phases that
// run with the interpreter lock held: they count their items (across nested
// sequences) and, once per kSignalSpan, run the handlers of the signals that arrived;
// one that raises ends the phase, which releases what it built, with its exception.
#pragma once

#include <cstddef>

#include "frame/python.hpp"

namespace mosswick::frame {

inline constexpr std::size_t kSignalSpan = std::size_t{1} << 16;

// Items left until the next poll. Only touched with the interpreter lock held.
inline std::size_t signal_countdown = kSignalSpan;

// Counts one item; true once per kSignalSpan items, when signal handlers are to run.
inline bool signal_poll_due() {
    if (--signal_countdown != 0) {
        return false;
    }
    signal_countdown = kSignalSpan;
    return true;
}

// Counts `items` items (one by default) and, when due, runs the pending handlers: false,
// with the exception set, when one raised. Handlers run Python code, which may change
// any object.
inline bool signals_allow(std::size_t items = 1) {
    if (signal_countdown > items) {
        signal_countdown -= items;
        return true;
    }
    signal_countdown = kSignalSpan;
    return PyErr_CheckSignals() == 0;
}

// Items that a tight loop handles between two counts.
inline constexpr std::size_t kSignalBlock = 4096;

}  // namespace mosswick::frame
