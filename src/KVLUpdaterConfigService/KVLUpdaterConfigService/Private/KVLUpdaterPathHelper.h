#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "KVLUpdaterConfigService/IKVLUpdaterPathHelper.h"
#include "Platform/Bundle.h"

// The updater's places under the process's layout. The updater folder and the updater
// application's bundle are resolved once, when the helper is made: a helper made before the
// application is installed answers null for every resource for its whole life.
class KVLUpdaterPathHelper : public IKVLUpdaterPathHelper {
public:
    KVLUpdaterPathHelper();

    // The process-wide helper, made on first use.
    static std::shared_ptr<KVLUpdaterPathHelper> sharedInstance();

    std::optional<platform::URL> sourceOfUpdaterSystemPreferencesPListURL() override;
    std::optional<platform::URL> destinationOfUpdaterSystemPreferencesPListURL() override;
    std::optional<platform::URL> sourceOfUpdateSchedulerPListURL() override;
    std::optional<platform::URL> destinationOfUpdateSchedulerPlist() override;
    std::optional<platform::URL> componentsPListURL() override;
    // The user folders are created, with the folders above them, when missing.
    std::optional<platform::URL> updaterLogsURL() override;
    std::optional<platform::URL> patchesURL() override;
    std::optional<platform::URL> userPatchesURL() override;
    std::optional<platform::URL> updaterSystemPrefDirURL() override;
    std::optional<platform::URL> sourceOfCopyHelperPListURL() override;
    std::optional<platform::URL> destinationOfCopyHelperPListURL() override;
    std::optional<platform::URL> sourceOfUpdateHelperPListURL() override;
    std::optional<platform::URL> destinationOfUpdateHelperPListURL() override;
    std::optional<platform::URL> sourceOfOrvaneLiteAutoUpdaterAppPListURL() override;
    std::optional<platform::URL> destinationOfOrvaneLiteAutoUpdaterAppPListURL() override;
    std::optional<platform::URL> updateAssistantBundleURL() override;
    std::optional<platform::URL> orvaneLiteAutoUpdaterAppURL() override;
    // Computed afresh, not read from the stored field.
    std::optional<platform::URL> orvaneLiteUpdaterDirectoryURL() override;

    static std::string orvaneLiteUpdaterDirectoryPath();
    static std::string pathOfApplicationsBundle();
    static std::string pathOfOrvaneLiteUpdaterApp();
    static std::shared_ptr<platform::Bundle> orvaneLiteUpdaterAppBundle();

    std::string mstrOrvaneLiteUpdaterDirectory() const;
    void setMstrOrvaneLiteUpdaterDirectory(std::string directory);
    std::shared_ptr<platform::Bundle> mUpdaterAppBundle() const;
    void setMUpdaterAppBundle(std::shared_ptr<platform::Bundle> bundle);

private:
    // Resource "base.ext" of the updater application, optionally inside a resources folder.
    std::optional<platform::URL> resourceURL(const std::string& fileName,
                                             const std::optional<std::string>& folder = std::nullopt) const;

    mutable std::mutex mutex_;
    std::string mstrOrvaneLiteUpdaterDirectory_;
    std::shared_ptr<platform::Bundle> mUpdaterAppBundle_;
};
