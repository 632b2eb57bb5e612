#pragma once

#include <optional>
#include <string>

namespace platform {

// A locale by its identifier (the NSLocale stand-in), e.g. "en_US".
class Locale {
public:
    explicit Locale(std::string identifier);

    // The process's locale: the one tests set, else the environment's (LC_ALL, LC_MESSAGES,
    // LANG), else "en_US".
    static Locale currentLocale();
    static void setCurrentLocaleForTesting(const std::optional<std::string>& identifier);

    const std::string& localeIdentifier() const { return identifier_; }
    // "en" for "en_US"; "" when the identifier names none.
    std::string languageCode() const;
    // "US" for "en_US"; "" when the identifier names none.
    std::string countryCode() const;

private:
    std::string identifier_;
};

}  // namespace platform
