#include "KVLUpdaterConfigService/Private/KVLSettingsText.h"

std::optional<std::string> KVLSettingsText(const platform::PlistDictionary& dictionary, std::string_view key) {
    const auto found = dictionary.find(key);
    if (found == dictionary.end()) {
        return std::nullopt;
    }
    return found->second.description();
}
