#pragma once

#include <optional>
#include <string>

#include "Platform/Date.h"

namespace platform {

// A time zone by its name ("UTC", "Europe/Paris"); an unknown name behaves as GMT.
class TimeZone {
public:
    explicit TimeZone(std::string name);

    // The process's default time zone: the one tests set, else the system's.
    static TimeZone defaultTimeZone();
    static void setDefaultTimeZoneForTesting(const std::optional<std::string>& name);

    const std::string& name() const { return name_; }

private:
    std::string name_;
};

}  // namespace platform
