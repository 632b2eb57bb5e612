#pragma once

#include "IKVLInstallAssistant.h"
#include "KVLUpdaterAssistant.h"

// Installs and uninstalls the updater's machine-level parts: the two settings files, the
// three launchd jobs and the auto-updater application's registration. An operation of the
// installation or the uninstallation runs only after that cycle's successful setup; called
// otherwise it logs the error and answers false (or does nothing).
class KVLUpdaterInstallAssistant : public KVLUpdaterAssistant, public IKVLInstallAssistant {
public:
    bool setupInstallation(std::shared_ptr<IKVLAdminPrivilegeProvider> provider, std::shared_ptr<IKVLLogger> logger,
                           const std::optional<platform::PlistDictionary>& config) override;
    void cleanupInstallation() override;
    bool performPreInstallationAndAdvice(std::vector<std::string>& advices) override;
    // Registers the auto-updater application, copies the settings files, registers the jobs;
    // the first failure ends it with false. Sets no flag.
    bool installAndRestartRequired(bool* restartRequired, bool* logoffRequired) override;
    // The uninstallation's steps over the installation's lists.
    void rollbackInstallation() override;
    // Loads the jobs; a failure asks for a log-off.
    bool performPostInstallationAndAdvices(std::vector<std::string>& advices, bool* restartRequired,
                                           bool* logoffRequired) override;
    bool setupUninstallation(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                             std::shared_ptr<IKVLLogger> logger) override;
    void cleanupUninstallation() override;
    bool performPreUninstallationAndAdvice(std::vector<std::string>& advices) override;
    // Unloads and unregisters every job and deletes the updater folder, passing over every
    // failure; always true.
    bool uninstallAndRestartRequired(bool* restartRequired, bool* logoffRequired) override;
    void performPostUninstallation() override;

    void registerApplications();

private:
    // Unloads and unregisters every job and runs the delete list, passing over every failure.
    void unloadUnregisterAndDelete();
};
