#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"

#include "KVLSharedUtil/KVLFileUtil.h"
#include "Platform/FileManager.h"
#include "Platform/PathUtilities.h"
#include "Platform/SearchPaths.h"

namespace {

using platform::PathUtilities;

constexpr const char* kUpdaterRelativePath = "Orvane/Orvane Lite/Orvane Lite Updater";
constexpr const char* kSystemPreferences = "SystemPreferences";
constexpr const char* kLaunchServices = "LaunchServices";

std::string firstSearchPath(platform::SearchPathDirectory directory, platform::SearchPathDomainMask domain) {
    const auto paths = platform::SearchPaths::forDirectoriesInDomains(directory, domain, true);
    return paths.empty() ? std::string() : paths.front();
}

std::string join(std::string_view path, std::string_view component) {
    return PathUtilities::stringByAppendingPathComponent(path, component);
}

std::string userUpdaterDirectory() {
    return join(firstSearchPath(platform::SearchPathDirectory::ApplicationSupport, platform::UserDomainMask),
                kUpdaterRelativePath);
}

std::string machineLibrary() {
    return firstSearchPath(platform::SearchPathDirectory::Library, platform::LocalDomainMask);
}

// The user folder at path, made with the folders above it when nothing is there; the result
// of the creation is not examined.
platform::URL userFolder(const std::string& path) {
    if (!platform::FileManager::fileExistsAtPath(path)) {
        platform::FileManager::createDirectoryAtPath(path, true);
    }
    return platform::URL::fileURLWithPath(path);
}

}  // namespace

KVLUpdaterPathHelper::KVLUpdaterPathHelper()
    : mstrOrvaneLiteUpdaterDirectory_(orvaneLiteUpdaterDirectoryPath()),
      mUpdaterAppBundle_(orvaneLiteUpdaterAppBundle()) {}

std::shared_ptr<KVLUpdaterPathHelper> KVLUpdaterPathHelper::sharedInstance() {
    static const std::shared_ptr<KVLUpdaterPathHelper> sSharedInstance = std::make_shared<KVLUpdaterPathHelper>();
    return sSharedInstance;
}

std::string KVLUpdaterPathHelper::orvaneLiteUpdaterDirectoryPath() {
    return join(firstSearchPath(platform::SearchPathDirectory::ApplicationSupport, platform::LocalDomainMask),
                kUpdaterRelativePath);
}

std::string KVLUpdaterPathHelper::pathOfApplicationsBundle() {
    return join(firstSearchPath(platform::SearchPathDirectory::Applications, platform::LocalDomainMask), "Orvane Lite");
}

std::string KVLUpdaterPathHelper::pathOfOrvaneLiteUpdaterApp() {
    return join(pathOfApplicationsBundle(), "Orvane Lite Updater.app");
}

std::shared_ptr<platform::Bundle> KVLUpdaterPathHelper::orvaneLiteUpdaterAppBundle() {
    return platform::Bundle::bundleWithPath(pathOfOrvaneLiteUpdaterApp());
}

std::optional<platform::URL> KVLUpdaterPathHelper::resourceURL(const std::string& fileName,
                                                               const std::optional<std::string>& folder) const {
    const auto bundle = mUpdaterAppBundle();
    if (!bundle) {
        return std::nullopt;
    }
    const std::string base = PathUtilities::stringByDeletingPathExtension(fileName);
    const std::string type = PathUtilities::pathExtension(fileName);
    return KVLFileUtil::fileURLFromPath(folder ? bundle->pathForResource(base, type, *folder)
                                               : bundle->pathForResource(base, type));
}

std::optional<platform::URL> KVLUpdaterPathHelper::sourceOfUpdaterSystemPreferencesPListURL() {
    return resourceURL("UpdaterSystemPreferences.plist");
}

std::optional<platform::URL> KVLUpdaterPathHelper::destinationOfUpdaterSystemPreferencesPListURL() {
    return platform::URL::fileURLWithPath(
        join(join(mstrOrvaneLiteUpdaterDirectory(), kSystemPreferences), "UpdaterSystemPreferences.plist"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::sourceOfUpdateSchedulerPListURL() {
    return resourceURL("UpdateScheduler.plist");
}

std::optional<platform::URL> KVLUpdaterPathHelper::destinationOfUpdateSchedulerPlist() {
    return platform::URL::fileURLWithPath(
        join(join(mstrOrvaneLiteUpdaterDirectory(), kSystemPreferences), "UpdateScheduler.plist"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::componentsPListURL() {
    const std::string orvane = PathUtilities::stringByDeletingLastPathComponent(
        PathUtilities::stringByDeletingLastPathComponent(mstrOrvaneLiteUpdaterDirectory()));
    return platform::URL::fileURLWithPath(join(join(orvane, "Components"), "Components.plist"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::updaterLogsURL() {
    return userFolder(join(userUpdaterDirectory(), "Logs"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::patchesURL() {
    return KVLFileUtil::fileURLFromPath(join(mstrOrvaneLiteUpdaterDirectory(), "Patch"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::userPatchesURL() {
    return userFolder(join(userUpdaterDirectory(), "Patch"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::updaterSystemPrefDirURL() {
    return KVLFileUtil::fileURLFromPath(join(mstrOrvaneLiteUpdaterDirectory(), kSystemPreferences));
}

std::optional<platform::URL> KVLUpdaterPathHelper::sourceOfCopyHelperPListURL() {
    return resourceURL("com.orvane.OrvaneLite.CopyHelper.plist", kLaunchServices);
}

std::optional<platform::URL> KVLUpdaterPathHelper::destinationOfCopyHelperPListURL() {
    return KVLFileUtil::fileURLFromPath(
        join(join(machineLibrary(), "LaunchDaemons"), "com.orvane.OrvaneLite.CopyHelper.plist"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::sourceOfUpdateHelperPListURL() {
    return resourceURL("com.orvane.OrvaneLite.UpdateHelper.plist", kLaunchServices);
}

std::optional<platform::URL> KVLUpdaterPathHelper::destinationOfUpdateHelperPListURL() {
    return platform::URL::fileURLWithPath(
        join(join(machineLibrary(), "LaunchDaemons"), "com.orvane.OrvaneLite.UpdateHelper.plist"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::sourceOfOrvaneLiteAutoUpdaterAppPListURL() {
    return resourceURL("com.orvane.OrvaneLite.AutoUpdater.plist", kLaunchServices);
}

std::optional<platform::URL> KVLUpdaterPathHelper::destinationOfOrvaneLiteAutoUpdaterAppPListURL() {
    return KVLFileUtil::fileURLFromPath(
        join(join(machineLibrary(), "LaunchAgents"), "com.orvane.OrvaneLite.AutoUpdater.plist"));
}

std::optional<platform::URL> KVLUpdaterPathHelper::updateAssistantBundleURL() {
    return resourceURL("UpdateAssistant.bundle");
}

std::optional<platform::URL> KVLUpdaterPathHelper::orvaneLiteAutoUpdaterAppURL() {
    return resourceURL("Orvane Lite Auto Updater.app");
}

std::optional<platform::URL> KVLUpdaterPathHelper::orvaneLiteUpdaterDirectoryURL() {
    return KVLFileUtil::fileURLFromPath(orvaneLiteUpdaterDirectoryPath());
}

std::string KVLUpdaterPathHelper::mstrOrvaneLiteUpdaterDirectory() const {
    std::lock_guard lock(mutex_);
    return mstrOrvaneLiteUpdaterDirectory_;
}

void KVLUpdaterPathHelper::setMstrOrvaneLiteUpdaterDirectory(std::string directory) {
    std::lock_guard lock(mutex_);
    mstrOrvaneLiteUpdaterDirectory_ = std::move(directory);
}

std::shared_ptr<platform::Bundle> KVLUpdaterPathHelper::mUpdaterAppBundle() const {
    std::lock_guard lock(mutex_);
    return mUpdaterAppBundle_;
}

void KVLUpdaterPathHelper::setMUpdaterAppBundle(std::shared_ptr<platform::Bundle> bundle) {
    std::lock_guard lock(mutex_);
    mUpdaterAppBundle_ = std::move(bundle);
}
