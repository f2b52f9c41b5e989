// The calls that differ between the systems the module is built for (Linux and
// macOS); everything else uses only POSIX and the C++ library.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mosswick::platform {

// The processors this process may run on, by number; empty where the system does not
// tell (macOS has no affinity).
std::vector<int> allowed_processors();

// How many logical processors this process may run on, as the system reports it; 0
// when it cannot be determined.
std::size_t processor_count();

// Asks that the thread run on that processor only: a preference, which may be ignored.
void keep_to_processor(pthread_t thread, int processor);

// Whether the calling thread is the process's first (its main) thread.
bool on_first_thread();

// A monotonic clock in nanoseconds that is cheap to read; its resolution may be a few
// milliseconds.
std::int64_t coarse_now_ns();

// The C library's exp and log, as a program built on this system calls them.
double library_exp(double x);
double library_log(double x);

// Advice that the whole pages in [memory, memory + bytes) be backed by huge pages.
void advise_huge_pages(void* memory, std::size_t bytes);

}  // namespace mosswick::platform
