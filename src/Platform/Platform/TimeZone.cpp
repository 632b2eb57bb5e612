#include "Platform/TimeZone.h"

#include <unicode/timezone.h>

#include <memory>
#include <mutex>

namespace platform {

namespace {

std::mutex& zoneMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& testZone() {
    static std::optional<std::string> name;
    return name;
}

}  // namespace

TimeZone::TimeZone(std::string name) : name_(std::move(name)) {}

TimeZone TimeZone::defaultTimeZone() {
    {
        std::lock_guard lock(zoneMutex());
        if (testZone()) {
            return TimeZone(*testZone());
        }
    }
    const std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
    icu::UnicodeString id;
    host->getID(id);
    std::string name;
    id.toUTF8String(name);
    return TimeZone(name);
}

void TimeZone::setDefaultTimeZoneForTesting(const std::optional<std::string>& name) {
    std::lock_guard lock(zoneMutex());
    testZone() = name;
}

}  // namespace platform
