#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "LoggerService/IKVLLogger.h"
#include "Platform/Date.h"
#include "Platform/FileHandle.h"
#include "Platform/TimeZone.h"

// The logger that writes plain-text log files of its own: one open file per process and
// module, a new file when the calendar date changes in the current time zone, one line per
// message:
//   "<yyMMdd HHmmss.SSS> : <pid, 6 wide> : <thread id, 8 wide> : <tag> : <text>"
// Failures never reach the caller: a file that cannot be opened or written makes a logger
// that writes less, or nothing.
//
// Lines from several threads are serialized: a line is stamped, checked for the roll and
// written under one lock, so lines are never torn or interleaved and stay in time order.
class KVLLoggerFile : public IKVLLogger {
public:
    // Opens the first file at once. A null directory gives a logger without a file.
    KVLLoggerFile(std::optional<std::string> logDir, std::optional<std::string> moduleName, std::uint64_t logLevel);
    // Releases the lock descriptor and the handle without flushing to disk.
    ~KVLLoggerFile() override;
    KVLLoggerFile(const KVLLoggerFile&) = delete;
    KVLLoggerFile& operator=(const KVLLoggerFile&) = delete;

    // Makes KVLLoggerService's createLoggerWithLogDir create loggers of this class.
    static void becomeTheFileLogger();

    std::uint64_t getLevel() override;
    std::optional<std::string> getLogFilePath() override;
    bool isLevelOn(std::uint64_t level) override;
    // Writes "<last component of fileName>(<lineNo>) : <formatted text>" with the tag of the
    // exact level; any other level value, combinations included, is dropped.
    void logMessageVAList(std::string_view format, std::uint64_t level, std::string_view fileName, std::int64_t lineNo,
                          platform::FormatArgs args) override;

    // One operation per level, without the file-and-line prefix.
    template <typename... Args>
    void unexpected(std::string_view format, const Args&... args) {
        unexpectedVAList(format, platform::FormatArgPack(args...));
    }
    template <typename... Args>
    void info(std::string_view format, const Args&... args) {
        infoVAList(format, platform::FormatArgPack(args...));
    }
    template <typename... Args>
    void debug(std::string_view format, const Args&... args) {
        debugVAList(format, platform::FormatArgPack(args...));
    }
    template <typename... Args>
    void error(std::string_view format, const Args&... args) {
        errorVAList(format, platform::FormatArgPack(args...));
    }
    template <typename... Args>
    void warn(std::string_view format, const Args&... args) {
        warnVAList(format, platform::FormatArgPack(args...));
    }
    template <typename... Args>
    void api(std::string_view format, const Args&... args) {
        apiVAList(format, platform::FormatArgPack(args...));
    }
    void unexpectedVAList(std::string_view format, platform::FormatArgs args);
    void infoVAList(std::string_view format, platform::FormatArgs args);
    void debugVAList(std::string_view format, platform::FormatArgs args);
    void errorVAList(std::string_view format, platform::FormatArgs args);
    void warnVAList(std::string_view format, platform::FormatArgs args);
    void apiVAList(std::string_view format, platform::FormatArgs args);

    // Builds and writes one line when the level is on.
    void log(std::uint64_t level, std::string_view levelName, std::string_view format, platform::FormatArgs args);
    // Unlocks, flushes and closes the current file; lines are dropped until logFileInitialize.
    void rollLogFileNow();
    // Closes the current file, if one is open, then opens a file under a new name and writes
    // its first line ("<module> : <version>", at the info level).
    void logFileInitialize();

private:
    // Starts a line: room for its timestamp, then " : <pid> : <thread id> : <tag> : ", the
    // part between the timestamp and the text.
    void beginLine(std::string& line, std::string_view levelName) const;
    // Stamps, rolls if the day changed and writes one line, begun by beginLine and ending with
    // its line feed, under the lock.
    void writeLog(std::string& line);
    // The steps below run with mMutex_ held, inside their caller's safe zone.
    void writeLineLocked(platform::Date now, std::string& line);
    void rollLogFileIfNeededLocked(platform::Date now);
    // Whether seconds falls on the current file's day, in the time zone of now (looked up once
    // a second: asking the system for its zone costs too much for every line).
    bool isOnFileDayLocked(double seconds);
    // The bounds of the day, in zone, of the current file's opening.
    void setFileDayLocked(const platform::TimeZone& zone);
    void rollLogFileNowLocked();
    void logFileInitializeLocked(platform::Date now);
    std::optional<std::string> getNewLogFilePath();
    // "yyMMdd HHmmss.SSS" for now, exactly as wide as a line's room for it.
    std::string_view timestampLocked(platform::Date now);

    std::atomic<std::uint64_t> mlLevel_;
    const std::optional<std::string> mstrDirectory_;
    const std::optional<std::string> mstrModuleName_;
    const std::string mstrAppVersion_;
    const int miPID_;

    std::mutex mMutex_;
    std::optional<std::string> mstrLogFilePath_;
    // Read-only descriptor of the current file that holds its advisory lock; -1 when none.
    int miFDLogFile_ = -1;
    std::shared_ptr<platform::FileHandle> mFileHandle_;
    // Where this logger's last whole line ends, so that a failed write can be cut back to it.
    // On a file shared with another writer (same module, same second) the cut may take
    // that writer's later lines too.
    std::uint64_t mFileEnd_ = 0;
    // When the current file was opened, and its day in the zone mstrDayZone_, [start, end) in
    // seconds since 1970, so that the roll check of a line is two comparisons. The zone is
    // checked again at the first line of every second (mZoneCheckSecond_).
    double mCreationTime_ = 0.0;
    std::string mstrDayZone_;
    double mDayStart_ = 0.0;
    double mDayEnd_ = 0.0;
    std::int64_t mZoneCheckSecond_ = std::numeric_limits<std::int64_t>::min();
    // The last timestamp: made by the date formatter once per second, its milliseconds
    // written in per line.
    std::int64_t mTimestampSecond_ = std::numeric_limits<std::int64_t>::min();
    std::string mTimestamp_;
};
