#pragma once

#include <string>

#include "Platform/Locale.h"

// The language and country parts of a locale.
struct NSLocaleLangaugeIdentifier {
    static std::string languageCode(const platform::Locale& locale);
    static std::string language_CountryCode(const platform::Locale& locale);
    static std::string countryCode(const platform::Locale& locale);
};
