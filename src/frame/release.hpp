// Releasing what a call built when it ends in an exception, a signal's above all. A
// long result is released in slices of kSignalSpan references between Python's own
// steps (one slice per pending call of the main thread), after the exception has been
// raised: released at once, it would hold up Ctrl-C by about as long as it took to build.
#pragma once

#include <memory>
#include <utility>

#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/signals.hpp"

namespace mosswick::frame {

// A release in slices: step() releases one slice and says whether any is left.
class Release {
public:
    virtual ~Release() = default;
    virtual bool step() = 0;
};

// Queues a release to run after the current call, or runs it to its end at once on
// threads other than the main one (which alone runs pending calls).
void release_later(std::unique_ptr<Release> release);

// A release whose slices are the calls of step().
template <class Step>
void release_in_steps(Step step) {
    struct Steps final : Release {
        explicit Steps(Step s) : s(std::move(s)) {}
        bool step() override { return s(); }
        Step s;
    };
    release_later(std::make_unique<Steps>(std::move(step)));
}

// Releases a list that a build abandoned, with the items in it: nested lists are
// taken apart in slices too.
void release_list_later(Ref list);

// In a forked child: queues again what the parent had left to release.
void resume_releases_after_fork();

}  // namespace mosswick::frame
