#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Platform/PlistValue.h"

// The text of a settings entry: a string as it is, any other value as its description (the
// settings files hold strings; a hand-edited number still reads as its text); null when the
// key is absent.
std::optional<std::string> KVLSettingsText(const platform::PlistDictionary& dictionary, std::string_view key);

// The largest settings file read (the system preferences and the update schedule hold a
// handful of short entries); a larger one, like one that is not a regular file, reads as
// unreadable.
constexpr std::uint64_t kKVLSettingsFileMaximumSize = 64 * 1024;
