#include "Platform/Clock.h"

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

}  // namespace

Date Clock::now() {
    {
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
}

}  // namespace platform
