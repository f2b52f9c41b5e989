// A child forked while other threads were in calls has only the forking thread: the
// borrows of the others would stay taken there for good. The child gives them back
// before os.fork() returns there; the forking thread's own borrows are released as
// usual when its calls return. The forking thread, now the child's main thread, also
// finds out again whether signals are its to handle (gil.hpp).
#pragma once

namespace mosswick::frame {

// Registers the child's handler with os.register_at_fork; false with an exception set
// when that fails. Once per process.
bool handle_forks();

}  // namespace mosswick::frame
