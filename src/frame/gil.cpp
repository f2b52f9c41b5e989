#include "frame/gil.hpp"

#include <pthread.h>

#include "core/platform.hpp"

namespace mosswick::frame {

namespace {

// Guarded by the interpreter lock.
bool main_thread_known = false;
pthread_t main_thread{};
thread_local bool not_main_thread = false;  // found not to be the process's first thread

}  // namespace

bool on_main_thread() {
    if (!main_thread_known && !not_main_thread) {
        if (platform::on_first_thread()) {
            main_thread = pthread_self();
            main_thread_known = true;
        } else {
            not_main_thread = true;
        }
    }
    return main_thread_known && pthread_equal(main_thread, pthread_self());
}

void forget_main_thread() {
    main_thread_known = false;
    not_main_thread = false;
}

bool GilRelease::stop() {
    PyEval_RestoreThread(state_);
    const bool raised = PyErr_CheckSignals() != 0;
    state_ = PyEval_SaveThread();
    return raised;
}

}  // namespace mosswick::frame
