#include "core/interrupt.hpp"

#include "core/platform.hpp"

namespace mosswick::interrupt {

namespace {

thread_local ThreadState state;

// A few nanoseconds to read, and a resolution of a few milliseconds: ample for kInterval.
std::int64_t now() {
    return platform::coarse_now_ns();
}

constexpr std::int64_t kIntervalNs = std::chrono::nanoseconds(kInterval).count();

}  // namespace

bool requested() {
    ThreadState& s = state;
    if (s.flag != nullptr && s.flag->raised()) {
        return true;
    }
    if (s.check == nullptr || s.stopped) {
        return s.stopped;
    }
    const std::int64_t time = now();
    if (s.next_check == 0) {  // the call's first poll
        s.next_check = time + kIntervalNs;
        return false;
    }
    if (time < s.next_check) {
        return false;
    }
    s.stopped = s.check->stop();
    s.next_check = now() + kIntervalNs;
    return s.stopped;
}

Watch::Watch(Check& check) : thread_(&state), saved_(*thread_) {
    *thread_ = {&check, 0, false, saved_.flag};
}

bool watched() {
    return state.check != nullptr;
}

Follow::Follow(const Flag& flag) : previous_(state.flag) {
    state.flag = &flag;
}

Follow::~Follow() {
    state.flag = previous_;
}

const Flag* followed() {
    return state.flag;
}

}  // namespace mosswick::interrupt
