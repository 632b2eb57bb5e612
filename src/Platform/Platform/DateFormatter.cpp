#include "Platform/DateFormatter.h"

#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <mutex>

namespace platform {

class DateFormatter::Impl {
public:
    // ICU's formatter keeps working state (its calendar) while it formats or parses.
    std::mutex mutex;
    icu::SimpleDateFormat format;
    Impl(const icu::UnicodeString& pattern, const icu::Locale& locale, UErrorCode& status)
        : format(pattern, locale, status) {}
};

DateFormatter::DateFormatter(const std::string& pattern, const std::optional<Locale>& locale,
                             const std::optional<TimeZone>& timeZone) {
    const Locale chosenLocale = locale.value_or(Locale::currentLocale());
    UErrorCode status = U_ZERO_ERROR;
    auto impl = std::make_unique<Impl>(icu::UnicodeString::fromUTF8(pattern),
                                       icu::Locale(chosenLocale.localeIdentifier().c_str()), status);
    if (U_FAILURE(status)) {
        return;  // a pattern ICU refuses formats nothing and parses nothing
    }
    const TimeZone zone = timeZone.value_or(TimeZone::defaultTimeZone());
    impl->format.adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zone.name())));
    impl->format.setLenient(false);
    impl_ = std::move(impl);
}

DateFormatter::~DateFormatter() = default;
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;

std::string DateFormatter::stringFromDate(Date date) const {
    if (!impl_) {
        return {};
    }
    icu::UnicodeString text;
    std::lock_guard lock(impl_->mutex);
    impl_->format.format(date.timeIntervalSince1970() * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::optional<Date> DateFormatter::dateFromString(const std::string& text) const {
    if (!impl_) {
        return std::nullopt;
    }
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    icu::ParsePosition position(0);
    std::lock_guard lock(impl_->mutex);
    const UDate millis = impl_->format.parse(unicode, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length()) {
        return std::nullopt;
    }
    return Date::fromTimeIntervalSince1970(millis / 1000.0);
}

}  // namespace platform
