#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Platform/PlistValue.h"
#include "Platform/URL.h"

// The update schedule: a daily check window, a duration in days and the next due time.
class IKVLUpdateScheduler {
public:
    // Writes a dictionary to a file URL; supplied by the caller.
    using WriteOperation = std::function<bool(const platform::PlistDictionary&, const platform::URL&)>;

    virtual ~IKVLUpdateScheduler() = default;

    // Hands the four entries to the write operation; false, without calling it, when any
    // field is null.
    virtual bool writeToUpdateSchedulerPlist(const WriteOperation& write) = 0;
    // True unless the stored due time parses and lies after now.
    virtual bool isNextUpdateTimeExceeded() = 0;
    // Picks a new due time in today's window plus the duration (at most 2^31 seconds either
    // way); in memory only. The text is Gregorian with ASCII digits whatever the locale.
    virtual void reCalculateNextUpdateTime() = 0;

    virtual std::optional<std::string> mstrNextUpdateTime() const = 0;
    virtual void setMstrNextUpdateTime(std::optional<std::string> value) = 0;
    virtual std::optional<std::string> mstrUpdateDuration() const = 0;
    virtual void setMstrUpdateDuration(std::optional<std::string> value) = 0;
    virtual std::optional<std::string> mstrUpdateCheckStartTime() const = 0;
    virtual void setMstrUpdateCheckStartTime(std::optional<std::string> value) = 0;
    virtual std::optional<std::string> mstrUpdateCheckEndTime() const = 0;
    virtual void setMstrUpdateCheckEndTime(std::optional<std::string> value) = 0;
};
