#include "KVLUpdaterInstallAssistant.h"

#include "ErrorService/KVLCreateInternalError.h"
#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "LoggerService/KVLLog.h"
#include "Platform/ApplicationDatabase.h"
#include "Platform/Console.h"

bool KVLUpdaterInstallAssistant::setupInstallation(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                                                   std::shared_ptr<IKVLLogger> logger,
                                                   const std::optional<platform::PlistDictionary>& config) {
    const bool setUp = [&] {
        if (!provider || !logger) {
            platform::Console::log("OrvaneLite:: Updater Install Assistant - Invalid rights or logger instance");
            return false;
        }
        if (!setupUpdater(provider, std::move(logger), config)) {
            return false;
        }
        if (!loadLaunchServiceList()) {
            KVL_LOG(KVLLogLevelError, "KVLUpdaterInstallAssistant - Failed to load Launch Service List");
            return false;
        }
        if (!loadCopyFileList()) {
            KVL_LOG(KVLLogLevelError, "KVLUpdaterInstallAssistant - Failed to load Copy File List");
            return false;
        }
        return true;
    }();
    return enterCycle(Cycle::Installation, setUp);
}

void KVLUpdaterInstallAssistant::cleanupInstallation() { cleanupUpdater(); }

bool KVLUpdaterInstallAssistant::performPreInstallationAndAdvice(std::vector<std::string>& /*advices*/) {
    return isSetUpFor(Cycle::Installation, "KVLUpdaterInstallAssistant - performPreInstallationAndAdvice");
}

bool KVLUpdaterInstallAssistant::installAndRestartRequired(bool* /*restartRequired*/, bool* /*logoffRequired*/) {
    if (!isSetUpFor(Cycle::Installation, "KVLUpdaterInstallAssistant - installAndRestartRequired")) {
        return false;
    }
    registerApplications();
    const auto record = KVLCreateInternalError();
    mFileHelper()->copyFileWithError(record.get(), false);
    if (!record->isSuccess()) {
        KVL_LOG(KVLLogLevelError, "KVLUpdaterInstallAssistant - Failed to copy files during Installation.");
        return false;
    }
    mLaunchServiceHelper()->registerLaunchServicesWithError(record.get(), false);
    if (!record->isSuccess()) {
        KVL_LOG(KVLLogLevelError,
                "KVLUpdaterInstallAssistant - Failed to Register Launch Services during Installation.");
        return false;
    }
    return true;
}

void KVLUpdaterInstallAssistant::rollbackInstallation() {
    if (isSetUpFor(Cycle::Installation, "KVLUpdaterInstallAssistant - rollbackInstallation")) {
        unloadUnregisterAndDelete();
    }
}

bool KVLUpdaterInstallAssistant::performPostInstallationAndAdvices(std::vector<std::string>& /*advices*/,
                                                                   bool* /*restartRequired*/, bool* logoffRequired) {
    if (!isSetUpFor(Cycle::Installation, "KVLUpdaterInstallAssistant - performPostInstallationAndAdvices")) {
        return false;
    }
    const auto record = KVLCreateInternalError();
    mLaunchServiceHelper()->loadLaunchServicesWithError(record.get(), false);
    if (record->isSuccess()) {
        return true;
    }
    if (logoffRequired != nullptr) {
        *logoffRequired = true;
    }
    return false;
}

bool KVLUpdaterInstallAssistant::setupUninstallation(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                                                     std::shared_ptr<IKVLLogger> logger) {
    const bool setUp = [&] {
        if (!setupUpdater(provider, std::move(logger), std::nullopt)) {
            KVL_LOG(KVLLogLevelError, "Failed to Setup updater for uninstallation.");
            return false;
        }
        if (!loadLaunchServiceList()) {
            KVL_LOG(KVLLogLevelError, "Failed to load Launch Service List");
            return false;
        }
        return loadDeleteFileList();
    }();
    return enterCycle(Cycle::Uninstallation, setUp);
}

void KVLUpdaterInstallAssistant::cleanupUninstallation() { cleanupUpdater(); }

bool KVLUpdaterInstallAssistant::performPreUninstallationAndAdvice(std::vector<std::string>& /*advices*/) {
    return isSetUpFor(Cycle::Uninstallation, "KVLUpdaterInstallAssistant - performPreUninstallationAndAdvice");
}

bool KVLUpdaterInstallAssistant::uninstallAndRestartRequired(bool* /*restartRequired*/, bool* /*logoffRequired*/) {
    if (!isSetUpFor(Cycle::Uninstallation, "KVLUpdaterInstallAssistant - uninstallAndRestartRequired")) {
        return false;
    }
    unloadUnregisterAndDelete();
    return true;
}

void KVLUpdaterInstallAssistant::performPostUninstallation() {
    isSetUpFor(Cycle::Uninstallation, "KVLUpdaterInstallAssistant - performPostUninstallation");
}

void KVLUpdaterInstallAssistant::unloadUnregisterAndDelete() {
    const auto record = KVLCreateInternalError();
    mLaunchServiceHelper()->unloadLaunchServicesWithError(record.get(), true);
    record->reset();
    mLaunchServiceHelper()->unregisterLaunchServicesWithError(record.get(), true);
    record->reset();
    mFileHelper()->deleteFilesWithError(record.get());
}

void KVLUpdaterInstallAssistant::registerApplications() {
    const auto application =
        KVLUpdaterConfigService::sharedInstance()->updaterPathHelper()->orvaneLiteAutoUpdaterAppURL();
    // Without the application there is nothing to register; Launch Services' own "not found"
    // status says so in the log.
    const std::int32_t status = application ? platform::ApplicationDatabase::registerURL(*application, true)
                                            : platform::ApplicationDatabase::kFileNotFound;
    if (status != 0) {
        KVL_LOG(KVLLogLevelError, "AutoUpdater application not registered successfully due to error code %d: ", status);
        return;
    }
    KVL_LOG(KVLLogLevelInfo, "AutoUpdater application registered successfully");
}
