#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "LoggerService/IKVLLogger.h"

// The host's logger: level-tagged lines to a log file, each with its time and process id, and
// to standard error those of the console level (errors by default, info lines too with -v).
//
// The file is opened in a folder the host opened itself (the root's logs folder): without
// following a link, without waiting on a FIFO, and only when it is a regular file. It is
// bounded: a line that takes it past kRollSize renames it to "<name>.1" (replacing the
// previous one) and starts a new file. A write that fails (a full disk, a file-size limit)
// is reported once on standard error, and the file is then left alone.
class HostLogger : public IKVLLogger {
public:
    static constexpr std::uint64_t kRollSize = 1024 * 1024;

    // A logger writing to the file name in the folder (whose descriptor it adopts), shown as
    // displayPath; null, with the reason in *problem, when the file cannot be opened or is no
    // regular file.
    static std::shared_ptr<HostLogger> open(std::uint64_t level, std::uint64_t consoleLevel, int folderDescriptor,
                                            const std::string& name, std::string displayPath, std::string* problem);
    ~HostLogger() override;

    // A header line that opens a command's lines in the file.
    void logHeader(std::string_view text);

    std::uint64_t getLevel() override { return level_; }
    bool isLevelOn(std::uint64_t level) override { return KVLIsLogLevelOn(level_, level); }
    void logMessageVAList(std::string_view format, std::uint64_t level, std::string_view fileName, std::int64_t lineNo,
                          platform::FormatArgs args) override;
    std::optional<std::string> getLogFilePath() override { return displayPath_; }

    // "ERR", "INF", ... for a level; "???" for a value that is none of the six.
    static std::string_view tagOf(std::uint64_t level);

private:
    HostLogger(std::uint64_t level, std::uint64_t consoleLevel, int folderDescriptor, std::string name,
               std::string displayPath);
    // Opens the file (without following a link or blocking) and checks it is a regular file.
    bool openFile(std::string* problem);
    // Appends text to the file, rolling it first when it would pass kRollSize.
    void writeToFile(std::string_view text);

    std::uint64_t level_;
    std::uint64_t consoleLevel_;
    int folder_;
    std::string name_;
    std::string displayPath_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::mutex mutex_;
};
