#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "LoggerService/IKVLLogger.h"

// The host's logger: level-tagged lines to standard error and appended to a log file.
class HostLogger : public IKVLLogger {
public:
    HostLogger(std::uint64_t level, std::string logFilePath);
    ~HostLogger() override;

    std::uint64_t getLevel() override { return level_; }
    bool isLevelOn(std::uint64_t level) override { return KVLIsLogLevelOn(level_, level); }
    void logMessageVAList(std::string_view format, std::uint64_t level, std::string_view fileName, std::int64_t lineNo,
                          platform::FormatArgs args) override;
    std::optional<std::string> getLogFilePath() override { return logFilePath_; }

    // "ERR", "INF", ... for a level; "???" for a value that is none of the six.
    static std::string_view tagOf(std::uint64_t level);

private:
    std::uint64_t level_;
    std::string logFilePath_;
    int fd_ = -1;
    std::mutex mutex_;
};
