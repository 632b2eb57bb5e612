#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "ErrorService/IKVLInternalError.h"
#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "Platform/URL.h"

// The kind of a launchd job, which decides its folder and who does its privileged work.
enum KVLLaunchServiceType : std::uint64_t {
    KVLLaunchServiceTypeCurrentUserAgent = 0,  // ~/Library/LaunchAgents, all in process
    KVLLaunchServiceTypeUserAgent = 1,         // /Library/LaunchAgents, files through the provider
    KVLLaunchServiceTypeGlobalDaemon = 2,      // /Library/LaunchDaemons, everything through the provider
};

// One launchd job, given by its property list as shipped. The installed property list is the
// job folder plus the shipped file's name. Outcomes are reported in the caller's record.
class KVLLaunchService {
public:
    KVLLaunchService(KVLLaunchServiceType type, platform::URL plistPath,
                     std::shared_ptr<IKVLAdminPrivilegeProvider> provider);

    // The job folder of the kind, computed afresh; never created here.
    platform::URL destinationPathOfPList() const;
    // Installs the property list (root:wheel 0644 for the provider's kinds). An installed
    // file is replaced only with replaceExisting, after an unload and unregister whose
    // failures are dropped; without it the record reports -14003.
    void registerServiceWithReplaceExisting(bool replaceExisting, IKVLInternalError* error);
    // Removes the installed property list without unloading the job.
    void unregisterServiceWithError(IKVLInternalError* error);
    // "launchctl load <path>": through the provider for daemons; in process otherwise, where
    // the outcome is only logged and never fails the record.
    void loadServiceWithError(IKVLInternalError* error);
    void unloadServiceWithError(IKVLInternalError* error);

    const platform::URL& mPListPath() const { return mPListPath_; }
    KVLLaunchServiceType mLaunchServiceType() const { return mLaunchServiceType_; }
    // The provider given, or an absent one when none was.
    const std::shared_ptr<IKVLAdminPrivilegeProvider>& mAdminPrivilegeProvider() const {
        return mAdminPrivilegeProvider_;
    }

private:
    platform::URL installedPList() const;
    bool throughProvider() const { return mLaunchServiceType() != KVLLaunchServiceTypeCurrentUserAgent; }
    void runLaunchctl(const char* verb, IKVLInternalError* error);

    // Fixed at construction, so read from any thread without a lock.
    const platform::URL mPListPath_;
    const KVLLaunchServiceType mLaunchServiceType_;
    const std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider_;
};
