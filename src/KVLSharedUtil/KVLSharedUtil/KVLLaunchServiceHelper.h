#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "KVLSharedUtil/KVLLaunchService.h"

// The ordered launchd jobs of one assistant cycle, run in batches.
class KVLLaunchServiceHelper {
public:
    explicit KVLLaunchServiceHelper(std::shared_ptr<IKVLAdminPrivilegeProvider> provider);

    // A job of kind 1 (agent for every user); false, adding nothing, for a null URL.
    bool addUserAgentWithPListPath(const std::optional<platform::URL>& plist);
    // A job of kind 2 (system daemon); false, adding nothing, for a null URL.
    bool addGlobalDaemonWithPListPath(const std::optional<platform::URL>& plist);

    // Registration always replaces an installed property list of the same name.
    void registerLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed);
    void unregisterLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed);
    void loadLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed);
    void unloadLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed);

    std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider() const;
    std::vector<std::shared_ptr<KVLLaunchService>> mLaunchServiceList() const;

private:
    bool add(KVLLaunchServiceType type, const std::optional<platform::URL>& plist);

    mutable std::mutex mutex_;
    std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider_;
    std::vector<std::shared_ptr<KVLLaunchService>> mLaunchServiceList_;
};
