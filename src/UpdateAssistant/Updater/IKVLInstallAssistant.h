#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "LoggerService/IKVLLogger.h"
#include "Platform/PlistValue.h"

// How the host installs and uninstalls the updater's machine-level parts. Results are true for
// success; an out-flag (may be null) is only ever set to true, and only where a failure says
// the host must restart or log off.
class IKVLInstallAssistant {
public:
    virtual ~IKVLInstallAssistant() = default;

    virtual bool setupInstallation(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                                   std::shared_ptr<IKVLLogger> logger,
                                   const std::optional<platform::PlistDictionary>& config) = 0;
    virtual void cleanupInstallation() = 0;
    virtual bool performPreInstallationAndAdvice(std::vector<std::string>& advices) = 0;
    virtual bool installAndRestartRequired(bool* restartRequired, bool* logoffRequired) = 0;
    virtual void rollbackInstallation() = 0;
    virtual bool performPostInstallationAndAdvices(std::vector<std::string>& advices, bool* restartRequired,
                                                   bool* logoffRequired) = 0;
    virtual bool setupUninstallation(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                                     std::shared_ptr<IKVLLogger> logger) = 0;
    virtual void cleanupUninstallation() = 0;
    virtual bool performPreUninstallationAndAdvice(std::vector<std::string>& advices) = 0;
    virtual bool uninstallAndRestartRequired(bool* restartRequired, bool* logoffRequired) = 0;
    virtual void performPostUninstallation() = 0;
};
