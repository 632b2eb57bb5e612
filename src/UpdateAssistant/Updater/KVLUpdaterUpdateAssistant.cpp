#include "KVLUpdaterUpdateAssistant.h"

bool KVLUpdaterUpdateAssistant::setupUpdate(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                                            std::shared_ptr<IKVLLogger> logger) {
    return enterCycle(Cycle::Update, setupUpdater(provider, std::move(logger), std::nullopt));
}

void KVLUpdaterUpdateAssistant::cleanupUpdate() { cleanupUpdater(); }

void KVLUpdaterUpdateAssistant::isDependentOn(platform::PlistDictionary& components) {
    if (!isSetUpFor(Cycle::Update, "KVLUpdaterUpdateAssistant - isDependentOn")) {
        return;
    }
    for (auto& entry : components) {
        entry.second = platform::PlistValue(0);
    }
}

void KVLUpdaterUpdateAssistant::checkPreRequisite(std::vector<std::string>& /*prerequisites*/) {
    isSetUpFor(Cycle::Update, "KVLUpdaterUpdateAssistant - checkPreRequisite");
}

bool KVLUpdaterUpdateAssistant::unloadComponent() {
    return isSetUpFor(Cycle::Update, "KVLUpdaterUpdateAssistant - unloadComponent");
}

bool KVLUpdaterUpdateAssistant::performPostUpdateOfPatchesWithRestartRequired(bool* /*restartRequired*/,
                                                                              bool* /*logoffRequired*/,
                                                                              bool* /*skipAllPatches*/) {
    return isSetUpFor(Cycle::Update, "KVLUpdaterUpdateAssistant - performPostUpdateOfPatchesWithRestartRequired");
}

bool KVLUpdaterUpdateAssistant::loadComponentWithRestartRequired(bool* /*restartRequired*/, bool* /*logoffRequired*/) {
    return isSetUpFor(Cycle::Update, "KVLUpdaterUpdateAssistant - loadComponentWithRestartRequired");
}
