#pragma once

#include <memory>
#include <optional>
#include <string>

#include "KVLUpdateAssistantPlugin.h"

// The loaded UpdateAssistant.bundle: its module opened, its entry point checked.
class AssistantPlugin {
public:
    // Null, with the reason in *failure, when the bundle's module cannot be opened, has no
    // entry point, or speaks an interface version this host does not know.
    static std::unique_ptr<AssistantPlugin> load(const std::string& bundlePath, std::string* failure);
    AssistantPlugin(const AssistantPlugin&) = delete;
    AssistantPlugin& operator=(const AssistantPlugin&) = delete;

    std::unique_ptr<IKVLInstallAssistant> createInstallAssistant() const;
    std::unique_ptr<IKVLUpdateAssistant> createUpdateAssistant() const;

private:
    explicit AssistantPlugin(const KVLUpdateAssistantPluginTable* table) : table_(table) {}

    const KVLUpdateAssistantPluginTable* table_;
};
