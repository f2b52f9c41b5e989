#include "frame/holds.hpp"

namespace mosswick::frame {

void give_back_borrows_of_other_threads() {
    const pthread_t self = pthread_self();
    for (Hold* hold = Hold::first; hold != nullptr;) {
        Hold* next = hold->next_;
        if (!pthread_equal(hold->thread_, self)) {
            hold->end();
        }
        hold = next;
    }
}

}  // namespace mosswick::frame
