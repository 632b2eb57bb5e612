#include "KVLSharedUtil/NSDate+KVLExtensions.h"

#include <mutex>

#include "Platform/Clock.h"
#include "Platform/Format.h"

namespace {

std::mutex& cacheMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

NSDateKVLExtensions::FormatterCache& NSDateKVLExtensions::dateFormatters() {
    static FormatterCache cache;
    return cache;
}

std::shared_ptr<platform::DateFormatter> NSDateKVLExtensions::getDateFormatterForFormat(
    const std::optional<std::string>& pattern, const std::optional<std::string>& locale) {
    const std::string key = platform::formatString("%@/%@", pattern, locale);
    std::lock_guard lock(cacheMutex());
    FormatterCache& cache = dateFormatters();
    if (const auto found = cache.find(key); found != cache.end()) {
        return found->second;
    }
    std::optional<platform::Locale> chosenLocale;
    if (locale) {
        chosenLocale.emplace(*locale);
    }
    auto formatter = std::make_shared<platform::DateFormatter>(pattern.value_or(""), chosenLocale);
    cache.emplace(key, formatter);
    return formatter;
}

std::string NSDateKVLExtensions::currentTimeInFormat(const std::optional<std::string>& pattern,
                                                     const std::optional<std::string>& locale) {
    return getDateFormatterForFormat(pattern, locale)->stringFromDate(platform::Clock::now());
}

std::optional<platform::Date> NSDateKVLExtensions::dateFromFormattedDate(const std::string& text,
                                                                         const std::optional<std::string>& pattern,
                                                                         const std::optional<std::string>& locale) {
    return getDateFormatterForFormat(pattern, locale)->dateFromString(text);
}
