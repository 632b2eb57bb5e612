#pragma once

#include <functional>

#include "Platform/Date.h"

namespace platform {

// The current time. Tests set it so that time-of-day rules are checked exactly.
class Clock {
public:
    static Date now();
    // An empty function restores the system clock.
    static void setNowForTesting(std::function<Date()> now);
};

}  // namespace platform
