#include "core/platform.hpp"

#include <sched.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cmath>

#if defined(__linux__)
#include <sys/syscall.h>
#endif
#if defined(__GLIBC__)
#include <dlfcn.h>
#endif

namespace mosswick::platform {

#if defined(__linux__)

std::vector<int> allowed_processors() {
    std::vector<int> processors;
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        for (int c = 0; c < CPU_SETSIZE; ++c) {
            if (CPU_ISSET(c, &set)) {
                processors.push_back(c);
            }
        }
    }
    return processors;
}

void keep_to_processor(pthread_t thread, int processor) {
    cpu_set_t own;
    CPU_ZERO(&own);
    CPU_SET(processor, &own);
    pthread_setaffinity_np(thread, sizeof(own), &own);
}

bool on_first_thread() {
    return syscall(SYS_gettid) == getpid();
}

std::int64_t coarse_now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

void advise_huge_pages(void* memory, std::size_t bytes) {
    madvise(memory, bytes, MADV_HUGEPAGE);  // advice only: failure is harmless
}

#else

std::vector<int> allowed_processors() {
    return {};
}

void keep_to_processor(pthread_t, int) {}

bool on_first_thread() {
    return pthread_main_np() != 0;
}

std::int64_t coarse_now_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

void advise_huge_pages(void*, std::size_t) {}

#endif

namespace {

using MathFunction = double (*)(double);

// glibc 2.29 gave exp and log new versions without the old error handling, whose log
// of a negative number is another NaN. A library linked against an older glibc (the
// release wheels are) is bound to the old versions, so the running glibc's newest is
// looked up; elsewhere the linked function is the one.
MathFunction newest(const char* name, MathFunction linked) {
#if defined(__GLIBC__)
    if (void* found = dlvsym(RTLD_DEFAULT, name, "GLIBC_2.29")) {
        return reinterpret_cast<MathFunction>(found);
    }
#else
    (void)name;
#endif
    return linked;
}

}  // namespace

double library_exp(double x) {
    static const MathFunction f = newest("exp", [](double v) { return std::exp(v); });
    return f(x);
}

double library_log(double x) {
    static const MathFunction f = newest("log", [](double v) { return std::log(v); });
    return f(x);
}

std::size_t processor_count() {
    if (const std::size_t allowed = allowed_processors().size(); allowed > 0) {
        return allowed;
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<std::size_t>(online) : 0;
}

}  // namespace mosswick::platform
