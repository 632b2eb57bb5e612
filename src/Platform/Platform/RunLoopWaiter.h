#pragma once

#include <chrono>
#include <span>
#include <vector>

namespace platform::detail {

// What a run loop sleeps on: its own wake-up descriptor beside its sources' descriptors.
class RunLoopWaiter {
public:
    RunLoopWaiter();
    ~RunLoopWaiter();
    RunLoopWaiter(const RunLoopWaiter&) = delete;
    RunLoopWaiter& operator=(const RunLoopWaiter&) = delete;

    // Makes the current or next wait return; safe from any thread.
    void wake();

    // Sleeps until one of `descriptors` is readable, wake() was called or `timeout` passed;
    // returns the positions of the readable descriptors. A wake-up is consumed.
    std::vector<std::size_t> wait(std::span<const int> descriptors, std::chrono::nanoseconds timeout);

private:
    int wakeDescriptor_;
};

}  // namespace platform::detail
