// A plug-in module built for the tests only: it speaks the next interface version, which this
// host must refuse before calling anything in the table.
#include "KVLUpdateAssistantPlugin.h"

extern "C" const KVLUpdateAssistantPluginTable* KVLUpdateAssistantPluginEntry() {
    static const KVLUpdateAssistantPluginTable table{KVLUpdateAssistantInterfaceVersion + 1, nullptr, nullptr};
    return &table;
}
