#include "Platform/Calendar.h"

#include <unicode/gregocal.h>

#include <cmath>
#include <memory>

namespace platform {

namespace {

std::unique_ptr<icu::GregorianCalendar> makeCalendar(const TimeZone& zone) {
    UErrorCode status = U_ZERO_ERROR;
    auto calendar = std::make_unique<icu::GregorianCalendar>(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zone.name())), icu::Locale("en_US"), status);
    // The Gregorian rules for every date, as the platform's Gregorian calendar has them.
    calendar->setGregorianChange(-8.64e15, status);
    return U_SUCCESS(status) ? std::move(calendar) : nullptr;
}

}  // namespace

Calendar::Calendar() : Calendar(TimeZone::defaultTimeZone()) {}

Calendar::Calendar(TimeZone timeZone) : timeZone_(std::move(timeZone)) {}

DateComponents Calendar::components(Date date) const {
    const auto calendar = makeCalendar(timeZone_);
    DateComponents parts;
    if (!calendar) {
        return parts;
    }
    UErrorCode status = U_ZERO_ERROR;
    const double millis = std::floor(date.timeIntervalSince1970() * 1000.0);
    calendar->setTime(millis, status);
    parts.year = calendar->get(UCAL_EXTENDED_YEAR, status);
    parts.month = calendar->get(UCAL_MONTH, status) + 1;
    parts.day = calendar->get(UCAL_DATE, status);
    parts.hour = calendar->get(UCAL_HOUR_OF_DAY, status);
    parts.minute = calendar->get(UCAL_MINUTE, status);
    parts.second = calendar->get(UCAL_SECOND, status);
    parts.weekday = calendar->get(UCAL_DAY_OF_WEEK, status);
    const double fraction = date.timeIntervalSince1970() - std::floor(date.timeIntervalSince1970());
    parts.nanosecond = static_cast<int>(std::lround(fraction * 1e9)) % 1000000000;
    return parts;
}

std::optional<Date> Calendar::dateFromComponents(const DateComponents& parts) const {
    const auto calendar = makeCalendar(timeZone_);
    if (!calendar) {
        return std::nullopt;
    }
    calendar->clear();
    calendar->set(UCAL_EXTENDED_YEAR, parts.year);
    calendar->set(UCAL_MONTH, parts.month - 1);
    calendar->set(UCAL_DATE, parts.day);
    calendar->set(UCAL_HOUR_OF_DAY, parts.hour);
    calendar->set(UCAL_MINUTE, parts.minute);
    calendar->set(UCAL_SECOND, parts.second);
    UErrorCode status = U_ZERO_ERROR;
    const UDate millis = calendar->getTime(status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return Date::fromTimeIntervalSince1970(millis / 1000.0 + parts.nanosecond / 1e9);
}

}  // namespace platform
