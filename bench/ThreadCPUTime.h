#pragma once

#include <time.h>

#include <chrono>

// The time this thread spent on a CPU, its system calls included: on a busy machine, the time
// it waited for a CPU would otherwise swamp both sides of a comparison.
inline std::chrono::nanoseconds threadCPUTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}
