#include "AssistantPlugin.h"

#include <dlfcn.h>

#include "Platform/Bundle.h"
#include "Platform/Format.h"

std::unique_ptr<AssistantPlugin> AssistantPlugin::load(const std::string& bundlePath, std::string* failure) {
    const auto bundle = platform::Bundle::bundleWithPath(bundlePath);
    if (!bundle) {
        *failure = "no plug-in bundle at " + bundlePath;
        return nullptr;
    }
    const auto executable = bundle->objectForInfoDictionaryKey("CFBundleExecutable");
    const std::string name = executable && executable->string() ? *executable->string() : "UpdateAssistant";
    const std::string modulePath = bundlePath + "/Contents/MacOS/" + name;
    void* module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        *failure = platform::formatString("cannot load %@: %s", modulePath, ::dlerror());
        return nullptr;
    }
    using Entry = const KVLUpdateAssistantPluginTable* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, KVLUpdateAssistantEntryPointName));
    const KVLUpdateAssistantPluginTable* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr) {
        *failure = platform::formatString("%@ has no entry point %s", modulePath, KVLUpdateAssistantEntryPointName);
        ::dlclose(module);
        return nullptr;
    }
    if (table->interfaceVersion != KVLUpdateAssistantInterfaceVersion) {
        *failure = platform::formatString("%@ speaks interface version %u; this host knows version %u", modulePath,
                                          table->interfaceVersion, KVLUpdateAssistantInterfaceVersion);
        ::dlclose(module);
        return nullptr;
    }
    return std::unique_ptr<AssistantPlugin>(new AssistantPlugin(table));
}

// The module stays loaded: its code may still be referenced by objects that outlive us.
std::unique_ptr<IKVLInstallAssistant> AssistantPlugin::createInstallAssistant() const {
    return std::unique_ptr<IKVLInstallAssistant>(table_->createInstallAssistant("KVLUpdaterInstallAssistant"));
}

std::unique_ptr<IKVLUpdateAssistant> AssistantPlugin::createUpdateAssistant() const {
    return std::unique_ptr<IKVLUpdateAssistant>(table_->createUpdateAssistant("KVLUpdaterUpdateAssistant"));
}
