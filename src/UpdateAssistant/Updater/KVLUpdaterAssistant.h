#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "ErrorService/IKVLStringManager.h"
#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "KVLSharedUtil/KVLFileOperationHelper.h"
#include "KVLSharedUtil/KVLLaunchServiceHelper.h"
#include "LoggerService/IKVLLogger.h"
#include "Platform/PlistValue.h"

// A symbol of the plug-in's own module, to find the bundle that holds it.
extern "C" void KVLUpdaterAssistantMarker();

// The common base of the assistants: for one setup-to-cleanup cycle it loads the services
// (error service, logger service bound to the host's logger, string manager), holds the
// host's provider and the two helpers, and fills the helpers' lists from the updater paths.
class KVLUpdaterAssistant {
public:
    KVLUpdaterAssistant() = default;
    virtual ~KVLUpdaterAssistant() = default;

    bool setupUpdater(std::shared_ptr<IKVLAdminPrivilegeProvider> provider, std::shared_ptr<IKVLLogger> logger,
                      const std::optional<platform::PlistDictionary>& config);
    // Unloads the services and drops the helpers and the provider; the string manager stays.
    void cleanupUpdater();
    bool loadLibrariesWithLogger(std::shared_ptr<IKVLLogger> logger);
    void unloadLibraries();
    // Auto-updater agent, copy helper daemon, update helper daemon, stopping at the first
    // property list the updater application lacks.
    bool loadLaunchServiceList();
    bool loadCopyFileList();
    bool loadDeleteFileList();

    std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider() const;
    std::shared_ptr<KVLLaunchServiceHelper> mLaunchServiceHelper() const;
    std::shared_ptr<IKVLStringManager> mStringManager() const;
    std::shared_ptr<KVLFileOperationHelper> mFileHelper() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider_;
    std::shared_ptr<KVLLaunchServiceHelper> mLaunchServiceHelper_;
    std::shared_ptr<IKVLStringManager> mStringManager_;
    std::shared_ptr<KVLFileOperationHelper> mFileHelper_;
};
