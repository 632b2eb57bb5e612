#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/URL.h"

// Registers a list of application bundles with the application database and logs how each
// registration went.
class KVLAppRegistrationHelper {
public:
    KVLAppRegistrationHelper() = default;

    // The bundles to register, in the order added. Safe under concurrent get and set.
    std::vector<platform::URL> mApplicationsToRegister() const;
    void setMApplicationsToRegister(std::vector<platform::URL> applications);

    // false for null; otherwise appends the URL.
    bool addApplicationURL(const std::optional<platform::URL>& url);
    // false for null; otherwise appends the path's file URL.
    bool addApplicationPath(const std::optional<std::string>& path);

    // Registers every listed bundle in order (with update), logging each outcome (a failure
    // with its status and reason); a failure does not stop the others. Bundles added meanwhile wait for the next call.
    void registerApplications();

private:
    mutable std::mutex mutex_;
    std::vector<platform::URL> mApplicationsToRegister_;
};
