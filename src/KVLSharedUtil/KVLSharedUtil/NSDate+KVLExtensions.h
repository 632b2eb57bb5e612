#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Date.h"
#include "Platform/DateFormatter.h"

// Date formatting through a process-wide cache of formatters, one per pattern and locale.
struct NSDateKVLExtensions {
    using FormatterCache = std::map<std::string, std::shared_ptr<platform::DateFormatter>, std::less<>>;

    // The cache, keyed "<pattern>/<locale>" ("(null)" for an absent part). The operations
    // below may run on any thread; the cache itself is for one thread at a time (tests empty
    // it while no other thread formats).
    static FormatterCache& dateFormatters();
    // The cached formatter for the pair, made on first request with that locale and pattern
    // and the default time zone.
    static std::shared_ptr<platform::DateFormatter> getDateFormatterForFormat(const std::optional<std::string>& pattern,
                                                                              const std::optional<std::string>& locale);
    static std::string currentTimeInFormat(const std::optional<std::string>& pattern,
                                           const std::optional<std::string>& locale);
    // Null when the text does not parse.
    static std::optional<platform::Date> dateFromFormattedDate(const std::string& text,
                                                               const std::optional<std::string>& pattern,
                                                               const std::optional<std::string>& locale);
};
