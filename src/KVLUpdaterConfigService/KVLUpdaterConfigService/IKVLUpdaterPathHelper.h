#pragma once

#include <optional>

#include "Platform/URL.h"

// Where every updater file and folder lives. Each operation answers a file URL, or null where
// a resource of the updater application cannot be found.
class IKVLUpdaterPathHelper {
public:
    virtual ~IKVLUpdaterPathHelper() = default;

    virtual std::optional<platform::URL> sourceOfUpdaterSystemPreferencesPListURL() = 0;
    virtual std::optional<platform::URL> destinationOfUpdaterSystemPreferencesPListURL() = 0;
    virtual std::optional<platform::URL> sourceOfUpdateSchedulerPListURL() = 0;
    virtual std::optional<platform::URL> destinationOfUpdateSchedulerPlist() = 0;
    virtual std::optional<platform::URL> componentsPListURL() = 0;
    virtual std::optional<platform::URL> updaterLogsURL() = 0;
    virtual std::optional<platform::URL> patchesURL() = 0;
    virtual std::optional<platform::URL> userPatchesURL() = 0;
    virtual std::optional<platform::URL> updaterSystemPrefDirURL() = 0;
    virtual std::optional<platform::URL> sourceOfCopyHelperPListURL() = 0;
    virtual std::optional<platform::URL> destinationOfCopyHelperPListURL() = 0;
    virtual std::optional<platform::URL> sourceOfUpdateHelperPListURL() = 0;
    virtual std::optional<platform::URL> destinationOfUpdateHelperPListURL() = 0;
    virtual std::optional<platform::URL> sourceOfOrvaneLiteAutoUpdaterAppPListURL() = 0;
    virtual std::optional<platform::URL> destinationOfOrvaneLiteAutoUpdaterAppPListURL() = 0;
    virtual std::optional<platform::URL> updateAssistantBundleURL() = 0;
    virtual std::optional<platform::URL> orvaneLiteAutoUpdaterAppURL() = 0;
    virtual std::optional<platform::URL> orvaneLiteUpdaterDirectoryURL() = 0;
};
