#pragma once

#include <memory>
#include <string>
#include <vector>

#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "LoggerService/IKVLLogger.h"
#include "Platform/PlistValue.h"

// How the host drives the plug-in while it updates the updater itself.
class IKVLUpdateAssistant {
public:
    virtual ~IKVLUpdateAssistant() = default;

    virtual bool setupUpdate(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                             std::shared_ptr<IKVLLogger> logger) = 0;
    virtual void cleanupUpdate() = 0;
    // Sets every present key's value to the integer 0: this component depends on none.
    virtual void isDependentOn(platform::PlistDictionary& components) = 0;
    virtual void checkPreRequisite(std::vector<std::string>& prerequisites) = 0;
    virtual bool unloadComponent() = 0;
    virtual bool performPostUpdateOfPatchesWithRestartRequired(bool* restartRequired, bool* logoffRequired,
                                                               bool* skipAllPatches) = 0;
    virtual bool loadComponentWithRestartRequired(bool* restartRequired, bool* logoffRequired) = 0;
};
