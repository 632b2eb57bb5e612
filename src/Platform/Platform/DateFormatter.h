#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Date.h"
#include "Platform/Locale.h"
#include "Platform/TimeZone.h"

namespace platform {

// Formats and parses dates with a Unicode date pattern (the NSDateFormatter stand-in):
// "yyyy" the calendar year, "YYYY" the week-based year, "DD" the day of the year, "SSS"
// milliseconds, "Z" the offset as "+hhmm". An instance may be used from several threads at
// once: its uses take turns.
class DateFormatter {
public:
    // Without a locale, the current locale; without a time zone, the default time zone, both
    // as they are when the formatter is made.
    explicit DateFormatter(const std::string& pattern, const std::optional<Locale>& locale = std::nullopt,
                           const std::optional<TimeZone>& timeZone = std::nullopt);
    ~DateFormatter();
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;

    std::string stringFromDate(Date date) const;
    // Null unless the whole text matches the pattern.
    std::optional<Date> dateFromString(const std::string& text) const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
