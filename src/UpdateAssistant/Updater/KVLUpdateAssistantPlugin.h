#pragma once

#include <cstdint>

#include "IKVLInstallAssistant.h"
#include "IKVLUpdateAssistant.h"

// The plug-in's one entry point, found by the host with dlsym. The table's version tells the
// host whether it knows this interface; the create functions make an assistant by class
// name ("KVLUpdaterInstallAssistant", "KVLUpdaterUpdateAssistant") and answer null for any
// other name. The host owns what they return and deletes it.
inline constexpr std::uint32_t KVLUpdateAssistantInterfaceVersion = 1;
inline constexpr const char* KVLUpdateAssistantEntryPointName = "KVLUpdateAssistantPluginEntry";

struct KVLUpdateAssistantPluginTable {
    std::uint32_t interfaceVersion;
    IKVLInstallAssistant* (*createInstallAssistant)(const char* className);
    IKVLUpdateAssistant* (*createUpdateAssistant)(const char* className);
};

extern "C" const KVLUpdateAssistantPluginTable* KVLUpdateAssistantPluginEntry();
