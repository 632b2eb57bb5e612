#include "KVLUpdateAssistantPlugin.h"

#include <string_view>

#include "KVLUpdaterInstallAssistant.h"
#include "KVLUpdaterUpdateAssistant.h"

namespace {

IKVLInstallAssistant* createInstallAssistant(const char* className) {
    if (className != nullptr && std::string_view(className) == "KVLUpdaterInstallAssistant") {
        return new KVLUpdaterInstallAssistant();
    }
    return nullptr;
}

IKVLUpdateAssistant* createUpdateAssistant(const char* className) {
    if (className != nullptr && std::string_view(className) == "KVLUpdaterUpdateAssistant") {
        return new KVLUpdaterUpdateAssistant();
    }
    return nullptr;
}

constexpr KVLUpdateAssistantPluginTable kTable{KVLUpdateAssistantInterfaceVersion, &createInstallAssistant,
                                               &createUpdateAssistant};

}  // namespace

extern "C" __attribute__((visibility("default"))) const KVLUpdateAssistantPluginTable* KVLUpdateAssistantPluginEntry() {
    return &kTable;
}
