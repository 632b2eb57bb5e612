#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "Platform/RunLoopWaiter.h"

namespace platform::detail {

RunLoopWaiter::RunLoopWaiter() : wakeDescriptor_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wakeDescriptor_ < 0) {
        // Without its wake-up descriptor a run loop could sleep through every block and stop.
        std::perror("run loop: eventfd");
        std::abort();
    }
}

RunLoopWaiter::~RunLoopWaiter() { ::close(wakeDescriptor_); }

void RunLoopWaiter::wake() {
    const std::uint64_t one = 1;
    // The counter only saturates after 2^64 - 2 unconsumed wake-ups; a failed write means a
    // wake-up is already pending.
    [[maybe_unused]] const ssize_t written = ::write(wakeDescriptor_, &one, sizeof one);
}

std::vector<std::size_t> RunLoopWaiter::wait(std::span<const int> descriptors, std::chrono::nanoseconds timeout) {
    std::vector<pollfd> polled;
    polled.reserve(descriptors.size() + 1);
    polled.push_back({wakeDescriptor_, POLLIN, 0});
    for (const int descriptor : descriptors) {
        polled.push_back({descriptor, POLLIN, 0});
    }
    // poll counts in milliseconds: round up so that a short wait never becomes a busy loop.
    const auto milliseconds =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(timeout, std::chrono::nanoseconds(0)));
    const int ready =
        ::poll(polled.data(), polled.size(), static_cast<int>(std::min<std::int64_t>(milliseconds.count(), INT32_MAX)));
    std::vector<std::size_t> readable;
    if (ready <= 0) {
        return readable;  // timed out, or interrupted: the caller re-checks its deadline
    }
    if (polled[0].revents != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t consumed = ::read(wakeDescriptor_, &count, sizeof count);
    }
    for (std::size_t i = 1; i < polled.size(); ++i) {
        // A closed or failed descriptor reports POLLERR / POLLHUP / POLLNVAL: its callback
        // learns of it by reading.
        if (polled[i].revents != 0) {
            readable.push_back(i - 1);
        }
    }
    return readable;
}

}  // namespace platform::detail
