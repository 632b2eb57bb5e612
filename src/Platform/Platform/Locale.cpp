#include "Platform/Locale.h"

#include <unicode/locid.h>

#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

std::mutex& localeMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& testLocale() {
    static std::optional<std::string> identifier;
    return identifier;
}

// "de_DE.UTF-8@euro" -> "de_DE"; "C" and "POSIX" name no language.
std::optional<std::string> environmentLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') {
            continue;
        }
        std::string identifier(value);
        identifier = identifier.substr(0, identifier.find_first_of(".@"));
        if (identifier == "C" || identifier == "POSIX" || identifier.empty()) {
            return std::nullopt;
        }
        return identifier;
    }
    return std::nullopt;
}

}  // namespace

Locale::Locale(std::string identifier) : identifier_(std::move(identifier)) {}

Locale Locale::currentLocale() {
    {
        std::lock_guard lock(localeMutex());
        if (testLocale()) {
            return Locale(*testLocale());
        }
    }
    return Locale(environmentLocale().value_or("en_US"));
}

void Locale::setCurrentLocaleForTesting(const std::optional<std::string>& identifier) {
    std::lock_guard lock(localeMutex());
    testLocale() = identifier;
}

std::string Locale::languageCode() const { return icu::Locale(identifier_.c_str()).getLanguage(); }

std::string Locale::countryCode() const { return icu::Locale(identifier_.c_str()).getCountry(); }

}  // namespace platform
