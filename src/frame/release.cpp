#include "frame/release.hpp"

#include <deque>
#include <vector>

#include "frame/gil.hpp"

namespace mosswick::frame {

namespace {

// Guarded by the interpreter lock.
std::deque<std::unique_ptr<Release>> queued;
bool scheduled = false;

int run_one_slice(void*);

void schedule() {
    if (!scheduled && !queued.empty()) {
        scheduled = Py_AddPendingCall(run_one_slice, nullptr) == 0;
    }
}

int run_one_slice(void*) {
    scheduled = false;
    if (!queued.empty()) {
        std::unique_ptr<Release> front = std::move(queued.front());
        queued.pop_front();
        if (front->step()) {
            queued.push_front(std::move(front));
        }
    }
    schedule();
    return 0;
}

// One slice of a list: up to kSignalSpan items from the end of the innermost list
// being taken apart; a nested list that holds items is taken apart before it goes.
class ListRelease final : public Release {
public:
    explicit ListRelease(Ref list) { open_.push_back(std::move(list)); }

    bool step() override {
        PyObject* list = open_.back().get();
        const Py_ssize_t size = PyList_Size(list);
        Py_ssize_t from = size;
        while (from > 0 && size - from < static_cast<Py_ssize_t>(kSignalSpan)) {
            PyObject* item = PyList_GetItem(list, from - 1);
            if (item != nullptr && PyList_CheckExact(item) && PyList_Size(item) > 0) {
                if (from == size) {
                    open_.push_back(Ref::borrow(item));
                    --from;
                }
                break;
            }
            --from;
        }
        if (PyList_SetSlice(list, from, size, nullptr) != 0) {
            PyErr_Clear();
            open_.clear();  // the lists go with their items
            return false;
        }
        while (!open_.empty() && PyList_Size(open_.back().get()) == 0) {
            open_.pop_back();
        }
        return !open_.empty();
    }

private:
    std::vector<Ref> open_;  // the outermost list first
};

}  // namespace

void release_later(std::unique_ptr<Release> release) {
    if (!on_main_thread()) {
        PyObject* raised = PyErr_GetRaisedException();
        while (release->step()) {
        }
        PyErr_SetRaisedException(raised);
        return;
    }
    queued.push_back(std::move(release));
    schedule();
}

void release_list_later(Ref list) {
    if (list && PyList_Size(list.get()) > 0) {
        release_later(std::make_unique<ListRelease>(std::move(list)));
    }
}

void resume_releases_after_fork() {
    scheduled = false;
    schedule();
}

}  // namespace mosswick::frame
