#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

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

    bool setupUpdater(const std::shared_ptr<IKVLAdminPrivilegeProvider>& provider, std::shared_ptr<IKVLLogger> logger,
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

protected:
    // The cycle whose setup last succeeded: none before the first setup, after a failed one
    // and after a cleanup. The host may call the operations in any order; an operation of
    // another cycle than the one set up must not reach the helpers, which may not exist.
    enum class Cycle { None, Installation, Uninstallation, Update };

    // Records the outcome of a cycle's setup and answers it.
    bool enterCycle(Cycle cycle, bool setUp);
    // True when the cycle is set up; otherwise logs "<operation> called without a successful
    // setup" at the error level (a console line when no logger is bound) and answers false.
    bool isSetUpFor(Cycle cycle, std::string_view operation) const;

private:
    mutable std::mutex mutex_;
    Cycle cycle_ = Cycle::None;
    std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider_;
    std::shared_ptr<KVLLaunchServiceHelper> mLaunchServiceHelper_;
    std::shared_ptr<IKVLStringManager> mStringManager_;
    std::shared_ptr<KVLFileOperationHelper> mFileHelper_;
};
