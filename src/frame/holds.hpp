// The borrows that calls hold (array registrations and instance borrow flags), each
// listed with the thread that holds it. A forked child has only the thread that
// forked: the borrows of the others would stay taken there for good, so the child
// gives them back (see fork.hpp). The list, like the borrows, is used only with the
// interpreter lock held.
#pragma once

#include <pthread.h>

namespace mosswick::frame {

class Hold {
public:
    Hold() = default;
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

protected:
    // Lists the borrow just taken by the calling thread; `give_back` releases it, for the
    // holder or for a thread the process no longer has.
    void enter(void (*give_back)(Hold&)) {
        thread_ = pthread_self();
        give_back_ = give_back;
        previous_ = nullptr;
        next_ = first;
        if (first != nullptr) {
            first->previous_ = this;
        }
        // A holder on the stack of a call: it leaves the list in its destructor, which the
        // compiler cannot tell when it sees the address stored.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
        first = this;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    }
    // Releases the borrow, if one is listed, and removes it from the list. Holders call
    // it from their destructors, while what give_back reads is still there.
    void end() {
        if (give_back_ == nullptr) {
            return;
        }
        give_back_(*this);
        give_back_ = nullptr;
        (previous_ != nullptr ? previous_->next_ : first) = next_;
        if (next_ != nullptr) {
            next_->previous_ = previous_;
        }
    }

private:
    friend void give_back_borrows_of_other_threads();

    static inline Hold* first = nullptr;  // the borrow taken last

    Hold* previous_ = nullptr;
    Hold* next_ = nullptr;
    pthread_t thread_{};
    void (*give_back_)(Hold&) = nullptr;
};

// Releases every listed borrow that a thread other than the calling one holds.
void give_back_borrows_of_other_threads();

}  // namespace mosswick::frame
