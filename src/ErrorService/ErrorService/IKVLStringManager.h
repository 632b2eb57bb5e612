#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ErrorService/IKVLInternalError.h"
#include "Platform/Format.h"

// Looks up user-facing messages in a bundle's strings tables, in the locale language with the
// default (English) language alongside. A fill-in string, when given, receives the English
// message appended at its end.
class IKVLStringManager {
public:
    virtual ~IKVLStringManager() = default;

    virtual void loadBundleFromFile(const std::optional<std::string>& bundlePath,
                                    const std::optional<std::string>& stringsFile, IKVLInternalError* error) = 0;

    virtual std::string getStringForIdArgs(std::int64_t messageId, std::string* fillIn, platform::FormatArgs args) = 0;
    virtual std::string getStringForKeyArgs(std::string_view key, std::string* fillIn, platform::FormatArgs args) = 0;

    template <typename... Args>
    std::string getStringForId(std::int64_t messageId, std::string* fillIn, const Args&... args) {
        return getStringForIdArgs(messageId, fillIn, platform::FormatArgPack(args...));
    }
    template <typename... Args>
    std::string getStringForKey(std::string_view key, std::string* fillIn, const Args&... args) {
        return getStringForKeyArgs(key, fillIn, platform::FormatArgPack(args...));
    }
};
