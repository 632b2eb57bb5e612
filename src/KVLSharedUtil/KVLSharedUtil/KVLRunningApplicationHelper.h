#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/PlistValue.h"

// Tells which of a set of named applications are running.
class KVLRunningApplicationHelper {
public:
    KVLRunningApplicationHelper() = default;

    // Application name -> bundle identifier (strings). Safe under concurrent get and set.
    platform::PlistDictionary mApplicationNameVsApplicationIdentifierList() const;
    void setMApplicationNameVsApplicationIdentifierList(platform::PlistDictionary list);

    // false when either is null; otherwise stores the identifier under the name (replacing
    // the name's previous one).
    bool addApplication(const std::optional<std::string>& name, const std::optional<std::string>& identifier);

    // The names whose applications run in at least one process, each once, in the
    // dictionary's order.
    std::vector<std::string> runningApplicationName() const;

private:
    mutable std::mutex mutex_;
    platform::PlistDictionary mApplicationNameVsApplicationIdentifierList_;
};
