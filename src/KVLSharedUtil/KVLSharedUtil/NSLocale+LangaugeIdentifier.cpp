#include "KVLSharedUtil/NSLocale+LangaugeIdentifier.h"

std::string NSLocaleLangaugeIdentifier::languageCode(const platform::Locale& locale) { return locale.languageCode(); }

std::string NSLocaleLangaugeIdentifier::language_CountryCode(const platform::Locale& locale) {
    return locale.localeIdentifier();
}

std::string NSLocaleLangaugeIdentifier::countryCode(const platform::Locale& locale) { return locale.countryCode(); }
