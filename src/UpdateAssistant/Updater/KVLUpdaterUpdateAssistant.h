#pragma once

#include "IKVLUpdateAssistant.h"
#include "KVLUpdaterAssistant.h"

// The assistant of an update cycle: loads and unloads the services and otherwise answers with
// fixed results, touching neither jobs nor files. Before a successful setup (or after a
// failed one or the cleanup) every operation logs the error and answers false or does nothing.
class KVLUpdaterUpdateAssistant : public KVLUpdaterAssistant, public IKVLUpdateAssistant {
public:
    bool setupUpdate(std::shared_ptr<IKVLAdminPrivilegeProvider> provider, std::shared_ptr<IKVLLogger> logger) override;
    void cleanupUpdate() override;
    void isDependentOn(platform::PlistDictionary& components) override;
    void checkPreRequisite(std::vector<std::string>& prerequisites) override;
    bool unloadComponent() override;
    bool performPostUpdateOfPatchesWithRestartRequired(bool* restartRequired, bool* logoffRequired,
                                                       bool* skipAllPatches) override;
    bool loadComponentWithRestartRequired(bool* restartRequired, bool* logoffRequired) override;
};
