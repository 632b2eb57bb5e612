#include "KVLUpdaterUpdateAssistant.h"

bool KVLUpdaterUpdateAssistant::setupUpdate(std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                                            std::shared_ptr<IKVLLogger> logger) {
    return setupUpdater(std::move(provider), std::move(logger), std::nullopt);
}

void KVLUpdaterUpdateAssistant::cleanupUpdate() { cleanupUpdater(); }

void KVLUpdaterUpdateAssistant::isDependentOn(platform::PlistDictionary& components) {
    for (auto& entry : components) {
        entry.second = platform::PlistValue(0);
    }
}

void KVLUpdaterUpdateAssistant::checkPreRequisite(std::vector<std::string>& /*prerequisites*/) {}

bool KVLUpdaterUpdateAssistant::unloadComponent() { return true; }

bool KVLUpdaterUpdateAssistant::performPostUpdateOfPatchesWithRestartRequired(bool* /*restartRequired*/,
                                                                             bool* /*logoffRequired*/,
                                                                             bool* /*skipAllPatches*/) {
    return true;
}

bool KVLUpdaterUpdateAssistant::loadComponentWithRestartRequired(bool* /*restartRequired*/, bool* /*logoffRequired*/) {
    return true;
}
