#include "Platform/Clock.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace platform {

namespace {

std::mutex& nowMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<Date()>& testNow() {
    static std::function<Date()> now;
    return now;
}

// Whether a test clock is set: the system clock's readers (a log line each) take no lock.
std::atomic<bool> gTestNowSet{false};

}  // namespace

Date Clock::now() {
    if (gTestNowSet.load(std::memory_order_acquire)) {
        std::lock_guard lock(nowMutex());
        if (testNow()) {
            return testNow()();
        }
    }
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return Date::fromTimeIntervalSince1970(std::chrono::duration<double>(sinceEpoch).count());
}

void Clock::setNowForTesting(std::function<Date()> now) {
    std::lock_guard lock(nowMutex());
    testNow() = std::move(now);
    gTestNowSet.store(static_cast<bool>(testNow()), std::memory_order_release);
}

}  // namespace platform
