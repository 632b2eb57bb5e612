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

int TimeZone::secondsFromGMT(Date date) const {
    const std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name_)));
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone->getOffset(date.timeIntervalSince1970() * 1000.0, false, raw, dst, status);
    return U_SUCCESS(status) ? (raw + dst) / 1000 : 0;
}

}  // namespace platform
