#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The updater's machine-wide preferences: the log level text and the locale text.
class IKVLUpdaterSystemPreferences {
public:
    virtual ~IKVLUpdaterSystemPreferences() = default;

    // Replaces the preferences file with the two entries; false when either is null or the
    // file system refuses (the old file then stays).
    virtual bool writeToUpdaterSystemPreferencesPlist() = 0;
    // The logger level mask the stored text stands for; at least the info bits.
    virtual std::int32_t logLevel() = 0;

    virtual std::optional<std::string> mstrLogLevel() const = 0;
    virtual void setMstrLogLevel(std::optional<std::string> logLevel) = 0;
    virtual std::optional<std::string> mstrLocale() const = 0;
    virtual void setMstrLocale(std::optional<std::string> locale) = 0;
};
