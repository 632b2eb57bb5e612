#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Format.h"

// Log levels are bit masks; a level L is on for a logger configured with mask M exactly when
// (M & L) == L. api stands apart: no ordered level contains it.
inline constexpr std::uint64_t KVLLogLevelApi = 0x8;
inline constexpr std::uint64_t KVLLogLevelUnexpected = 0x10000000;
inline constexpr std::uint64_t KVLLogLevelError = 0x30000000;
inline constexpr std::uint64_t KVLLogLevelWarn = 0x70000000;
inline constexpr std::uint64_t KVLLogLevelInfo = 0xF0000000;
inline constexpr std::uint64_t KVLLogLevelDebug = 0xF1000000;

constexpr bool KVLIsLogLevelOn(std::uint64_t configuredMask, std::uint64_t level) {
    return (configuredMask & level) == level;
}

// The name each of the six levels carries in a log line (" ERR", " INF", ...); "" for any
// other value.
constexpr std::string_view KVLLogLevelName(std::uint64_t level) {
    switch (level) {
        case KVLLogLevelApi: return " API";
        case KVLLogLevelUnexpected: return " UNX";
        case KVLLogLevelError: return " ERR";
        case KVLLogLevelWarn: return " WRN";
        case KVLLogLevelInfo: return " INF";
        case KVLLogLevelDebug: return " DBG";
        default: return {};
    }
}

// The logger every component writes to. A call never fails or throws; a message at a level
// that is off is not recorded.
class IKVLLogger {
public:
    virtual ~IKVLLogger() = default;

    virtual std::uint64_t getLevel() = 0;
    virtual bool isLevelOn(std::uint64_t level) = 0;

    template <typename... Args>
    void logMessage(std::string_view format, std::uint64_t level, std::string_view fileName, std::int64_t lineNo,
                    const Args&... args) {
        logMessageVAList(format, level, fileName, lineNo, platform::FormatArgPack(args...));
    }
    virtual void logMessageVAList(std::string_view format, std::uint64_t level, std::string_view fileName,
                                  std::int64_t lineNo, platform::FormatArgs args) = 0;

    // The file the logger currently writes, or null for a logger that writes no file.
    virtual std::optional<std::string> getLogFilePath() = 0;
};
