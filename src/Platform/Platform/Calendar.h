#pragma once

#include <optional>

#include "Platform/Date.h"
#include "Platform/TimeZone.h"

namespace platform {

struct DateComponents {
    int year = 0;
    int month = 1;  // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int nanosecond = 0;
    int weekday = 0;  // 1 (Sunday) to 7; ignored when building a date
};

// The Gregorian calendar in a time zone (the NSCalendar stand-in).
class Calendar {
public:
    // In the default time zone at the time of the call.
    Calendar();
    explicit Calendar(TimeZone timeZone);

    DateComponents components(Date date) const;
    // Out-of-range fields carry over (month 13 is January of the next year), as the platform
    // does; null only when the calendar cannot compute a date.
    std::optional<Date> dateFromComponents(const DateComponents& components) const;

    const TimeZone& timeZone() const { return timeZone_; }

private:
    TimeZone timeZone_;
};

}  // namespace platform
