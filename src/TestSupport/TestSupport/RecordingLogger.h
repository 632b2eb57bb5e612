#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "LoggerService/IKVLLogger.h"

namespace kvltest {

// A logger that keeps every message that passes its level, formatted, with its file and line.
class RecordingLogger : public IKVLLogger {
public:
    struct Line {
        std::uint64_t level;
        std::string fileName;
        std::int64_t lineNo;
        std::string message;
    };

    explicit RecordingLogger(std::uint64_t level = KVLLogLevelDebug) : level_(level) {}

    std::uint64_t getLevel() override { return level_; }
    bool isLevelOn(std::uint64_t level) override { return KVLIsLogLevelOn(level_, level); }
    void logMessageVAList(std::string_view format, std::uint64_t level, std::string_view fileName, std::int64_t lineNo,
                          platform::FormatArgs args) override {
        if (!isLevelOn(level)) {
            return;
        }
        std::lock_guard lock(mutex_);
        lines_.push_back({level, std::string(fileName), lineNo, platform::formatStringArgs(format, args)});
    }
    std::optional<std::string> getLogFilePath() override { return std::nullopt; }

    std::vector<Line> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const Line& line : lines()) {
            texts.push_back(line.message);
        }
        return texts;
    }

private:
    std::uint64_t level_;
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
};

}  // namespace kvltest
