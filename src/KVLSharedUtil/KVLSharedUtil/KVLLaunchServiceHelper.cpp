#include "KVLSharedUtil/KVLLaunchServiceHelper.h"

#include "KVLSharedUtil/KVLBatch.h"

KVLLaunchServiceHelper::KVLLaunchServiceHelper(std::shared_ptr<IKVLAdminPrivilegeProvider> provider)
    : mAdminPrivilegeProvider_(std::move(provider)) {}

bool KVLLaunchServiceHelper::add(KVLLaunchServiceType type, const std::optional<platform::URL>& plist) {
    if (!plist) {
        return false;
    }
    std::lock_guard lock(mutex_);
    mLaunchServiceList_.push_back(std::make_shared<KVLLaunchService>(type, *plist, mAdminPrivilegeProvider_));
    return true;
}

bool KVLLaunchServiceHelper::addUserAgentWithPListPath(const std::optional<platform::URL>& plist) {
    return add(KVLLaunchServiceTypeUserAgent, plist);
}

bool KVLLaunchServiceHelper::addGlobalDaemonWithPListPath(const std::optional<platform::URL>& plist) {
    return add(KVLLaunchServiceTypeGlobalDaemon, plist);
}

void KVLLaunchServiceHelper::registerLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed) {
    KVLRunBatch(mLaunchServiceList(), error, shouldContinueIfFailed, [](const auto& job, IKVLInternalError* record) {
        job->registerServiceWithReplaceExisting(true, record);
    });
}

void KVLLaunchServiceHelper::unregisterLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed) {
    KVLRunBatch(mLaunchServiceList(), error, shouldContinueIfFailed,
                [](const auto& job, IKVLInternalError* record) { job->unregisterServiceWithError(record); });
}

void KVLLaunchServiceHelper::loadLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed) {
    KVLRunBatch(mLaunchServiceList(), error, shouldContinueIfFailed,
                [](const auto& job, IKVLInternalError* record) { job->loadServiceWithError(record); });
}

void KVLLaunchServiceHelper::unloadLaunchServicesWithError(IKVLInternalError* error, bool shouldContinueIfFailed) {
    KVLRunBatch(mLaunchServiceList(), error, shouldContinueIfFailed,
                [](const auto& job, IKVLInternalError* record) { job->unloadServiceWithError(record); });
}

std::shared_ptr<IKVLAdminPrivilegeProvider> KVLLaunchServiceHelper::mAdminPrivilegeProvider() const {
    std::lock_guard lock(mutex_);
    return mAdminPrivilegeProvider_;
}

std::vector<std::shared_ptr<KVLLaunchService>> KVLLaunchServiceHelper::mLaunchServiceList() const {
    std::lock_guard lock(mutex_);
    return mLaunchServiceList_;
}
