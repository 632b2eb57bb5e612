#include "LoggerService/Private/KVLLoggerFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <span>

#include "KVLSharedUtil/KVLFileUtil.h"
#include "KVLSharedUtil/KVLSafeZone.h"
#include "LoggerService/KVLLoggerService.h"
#include "LoggerService/Private/KVLLogUtil.h"
#include "Platform/Bundle.h"
#include "Platform/Calendar.h"
#include "Platform/Clock.h"
#include "Platform/FileManager.h"
#include "Platform/PathUtilities.h"
#include "Platform/ProcessInfo.h"
#include "Platform/URL.h"

namespace {

// Where a line's timestamp goes: the width of the log's "yyMMdd HHmmss.SSS".
constexpr std::size_t kTimestampRoom = std::string_view("yyMMdd HHmmss.SSS").size();

std::string mainBundleShortVersion() {
    const auto bundle = platform::Bundle::mainBundle();
    if (!bundle) {
        return {};
    }
    const auto value = bundle->objectForInfoDictionaryKey("CFBundleShortVersionString");
    const std::string* text = value ? value->string() : nullptr;
    return text != nullptr ? *text : std::string();
}

// A number right-aligned in width columns, in full when it is wider ("%6d", "%8llu").
void appendRightAligned(std::string& out, std::uint64_t number, std::size_t width) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    const auto count = static_cast<std::size_t>(end - digits);
    if (count < width) {
        out.append(width - count, ' ');
    }
    out.append(digits, count);
}

// The room for a line's timestamp, then " : <pid, 6 wide> : <thread id, 8 wide> : ", made
// once per thread: the system thread id costs a system call per reading, while a thread's id
// never changes. Only the forking thread lives on in the child of fork, under a new id, so its
// copy is forgotten there.
struct ThreadIDsText {
    std::uint64_t threadID = 0;
    int pid = 0;
    std::string text;
};
thread_local ThreadIDsText tIDs;

std::string_view idsText(int pid) {
    static const int forgetInForkedChild = ::pthread_atfork(nullptr, nullptr, [] { tIDs.threadID = 0; });
    (void)forgetInForkedChild;
    if (tIDs.threadID == 0 || tIDs.pid != pid) {
        tIDs.threadID = platform::ProcessInfo::systemThreadID();
        tIDs.pid = pid;
        tIDs.text.assign(kTimestampRoom, ' ');
        tIDs.text += " : ";
        appendRightAligned(tIDs.text, static_cast<std::uint64_t>(pid), 6);
        tIDs.text += " : ";
        appendRightAligned(tIDs.text, tIDs.threadID, 8);
        tIDs.text += " : ";
    }
    return tIDs.text;
}

// A line is built without its timestamp in a buffer that its thread keeps, so that a line
// costs no allocation. A line logged while its thread's buffer is taken (by a description
// that logs while an argument of another line is being formatted) gets a buffer of its own.
thread_local std::string tLineBuffer;
thread_local bool tLineBufferTaken = false;

class LineBuffer {
public:
    LineBuffer() : borrowed_(!tLineBufferTaken), line_(borrowed_ ? tLineBuffer : own_) {
        tLineBufferTaken = true;
        line_.clear();
    }
    ~LineBuffer() {
        if (borrowed_) {
            tLineBufferTaken = false;
        }
    }
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;

    std::string& line() { return line_; }

private:
    const bool borrowed_;
    std::string own_;
    std::string& line_;
};

}  // namespace

KVLLoggerFile::KVLLoggerFile(std::optional<std::string> logDir, std::optional<std::string> moduleName,
                             std::uint64_t logLevel)
    : mlLevel_(logLevel),
      mstrDirectory_(std::move(logDir)),
      mstrModuleName_(std::move(moduleName)),
      mstrAppVersion_(mainBundleShortVersion()),
      miPID_(platform::ProcessInfo::processIdentifier()) {
    logFileInitialize();
}

void KVLLoggerFile::becomeTheFileLogger() {
    KVLLoggerService::setFileLoggerFactory(
        [](const std::optional<std::string>& logDir, const std::optional<std::string>& moduleName,
           std::uint64_t logLevel) { return std::make_shared<KVLLoggerFile>(logDir, moduleName, logLevel); });
}

KVLLoggerFile::~KVLLoggerFile() {
    if (miFDLogFile_ >= 0) {
        ::close(miFDLogFile_);
    }
}

std::uint64_t KVLLoggerFile::getLevel() { return mlLevel_.load(std::memory_order_relaxed); }

std::optional<std::string> KVLLoggerFile::getLogFilePath() {
    const std::lock_guard lock(mMutex_);
    return mstrLogFilePath_;
}

bool KVLLoggerFile::isLevelOn(std::uint64_t level) { return KVLIsLogLevelOn(getLevel(), level); }

void KVLLoggerFile::logMessageVAList(std::string_view format, std::uint64_t level, std::string_view fileName,
                                     std::int64_t lineNo, platform::FormatArgs args) {
    KVLSafeZone zone;
    const std::string_view levelName = KVLLogLevelName(level);
    if (levelName.empty() || !isLevelOn(level)) {
        return;
    }
    // The same text as the level's operation given the format "<file>(<line>) : <format>".
    LineBuffer buffer;
    std::string& line = buffer.line();
    beginLine(line, levelName);
    // "<file>(<line>) : ", put together on the stack and appended at once; a file name too
    // long for the stack goes first on its own.
    const std::string_view file = platform::PathUtilities::lastPathComponentView(fileName);
    char caller[256];
    constexpr std::size_t kAfterFile = 32;  // "(", a 64-bit number and ") : "
    char* end = caller;
    if (file.size() <= sizeof(caller) - kAfterFile) {
        end = std::copy(file.begin(), file.end(), end);
    } else {
        line += file;
    }
    *end++ = '(';
    end = std::to_chars(end, std::end(caller), lineNo).ptr;
    end = std::copy_n(") : ", 4, end);
    line.append(caller, static_cast<std::size_t>(end - caller));
    platform::appendFormatArgs(line, format, args);
    line += '\n';
    writeLog(line);
}

void KVLLoggerFile::unexpectedVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelUnexpected, KVLLogLevelName(KVLLogLevelUnexpected), format, args);
}

void KVLLoggerFile::infoVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelInfo, KVLLogLevelName(KVLLogLevelInfo), format, args);
}

void KVLLoggerFile::debugVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelDebug, KVLLogLevelName(KVLLogLevelDebug), format, args);
}

void KVLLoggerFile::errorVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelError, KVLLogLevelName(KVLLogLevelError), format, args);
}

void KVLLoggerFile::warnVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelWarn, KVLLogLevelName(KVLLogLevelWarn), format, args);
}

void KVLLoggerFile::apiVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelApi, KVLLogLevelName(KVLLogLevelApi), format, args);
}

void KVLLoggerFile::log(std::uint64_t level, std::string_view levelName, std::string_view format,
                        platform::FormatArgs args) {
    KVLSafeZone zone;
    if (!isLevelOn(level)) {
        return;
    }
    LineBuffer buffer;
    std::string& line = buffer.line();
    beginLine(line, levelName);
    platform::appendFormatArgs(line, format, args);
    line += '\n';
    writeLog(line);
}

void KVLLoggerFile::rollLogFileNow() {
    const std::lock_guard lock(mMutex_);
    rollLogFileNowLocked();
}

void KVLLoggerFile::logFileInitialize() {
    const std::lock_guard lock(mMutex_);
    rollLogFileNowLocked();
    logFileInitializeLocked(platform::Clock::now());
}

void KVLLoggerFile::beginLine(std::string& line, std::string_view levelName) const {
    // The layout "%@ : %6d : %8llu : %@ : %@\n", built by hand: this runs for every line.
    line += idsText(miPID_);
    line += levelName;
    line += " : ";
}

void KVLLoggerFile::writeLog(std::string& line) {
    const std::lock_guard lock(mMutex_);
    // Without an open file the line is lost; only a write into an open file may roll.
    if (!mFileHandle_) {
        return;
    }
    const platform::Date now = platform::Clock::now();
    rollLogFileIfNeededLocked(now);
    if (mFileHandle_) {
        writeLineLocked(now, line);
    }
}

void KVLLoggerFile::writeLineLocked(platform::Date now, std::string& line) {
    // The timestamp goes into the line's room; then the whole line goes to the file in one
    // write.
    std::copy_n(timestampLocked(now).data(), kTimestampRoom, line.data());
    try {
        mFileHandle_->writeData(std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
        mFileEnd_ += line.size();
    } catch (const platform::FileHandleException&) {
        // A full disk or a file-size limit: the line is dropped whole, so a torn start of it
        // is cut off again, and the logger carries on.
        try {
            mFileHandle_->truncateFileAtOffset(mFileEnd_);
        } catch (const platform::FileHandleException&) {
            // Nothing more can be done: the torn start stays.
        }
    }
}

void KVLLoggerFile::rollLogFileIfNeededLocked(platform::Date now) {
    if (isOnFileDayLocked(now.timeIntervalSince1970())) {
        return;
    }
    rollLogFileNowLocked();
    logFileInitializeLocked(now);
}

bool KVLLoggerFile::isOnFileDayLocked(double seconds) {
    const auto second = static_cast<std::int64_t>(std::floor(seconds));
    if (second != mZoneCheckSecond_) {
        mZoneCheckSecond_ = second;
        const platform::TimeZone zone = platform::TimeZone::defaultTimeZone();
        if (zone.name() != mstrDayZone_) {
            setFileDayLocked(zone);
        }
    }
    return seconds >= mDayStart_ && seconds < mDayEnd_;
}

void KVLLoggerFile::setFileDayLocked(const platform::TimeZone& zone) {
    const platform::Calendar calendar(zone);
    platform::DateComponents day = calendar.components(platform::Date::fromTimeIntervalSince1970(mCreationTime_));
    day.hour = day.minute = day.second = day.nanosecond = 0;
    const std::optional<platform::Date> dayStart = calendar.dateFromComponents(day);
    day.day += 1;
    const std::optional<platform::Date> dayEnd = calendar.dateFromComponents(day);
    mstrDayZone_ = zone.name();
    mDayStart_ = dayStart ? dayStart->timeIntervalSince1970() : -INFINITY;
    mDayEnd_ = dayEnd ? dayEnd->timeIntervalSince1970() : INFINITY;
}

void KVLLoggerFile::rollLogFileNowLocked() {
    if (!mFileHandle_) {
        return;
    }
    {
        KVLSafeZone zone;
        if (miFDLogFile_ >= 0) {
            KVLFileUtil::unLockFileForFd(miFDLogFile_);
            ::close(miFDLogFile_);
            miFDLogFile_ = -1;
        }
        try {
            mFileHandle_->synchronizeFile();
        } catch (const platform::FileHandleException&) {
            // Nothing to do about a failed flush; the file is closed all the same.
        }
        try {
            mFileHandle_->closeFile();
        } catch (const platform::FileHandleException&) {
            // closeFile has released the descriptor even when it reports a failure.
        }
    }
    mFileHandle_.reset();
}

void KVLLoggerFile::logFileInitializeLocked(platform::Date now) {
    KVLSafeZone zone;
    mstrLogFilePath_ = getNewLogFilePath();
    // An existing file (the same module in the same second) is appended to, and the time of
    // opening is taken as the creation time whether or not the file was made here: the file
    // holds the day of now in the current time zone.
    mCreationTime_ = now.timeIntervalSince1970();
    mZoneCheckSecond_ = static_cast<std::int64_t>(std::floor(mCreationTime_));
    setFileDayLocked(platform::TimeZone::defaultTimeZone());
    if (!mstrLogFilePath_) {
        return;
    }
    miFDLogFile_ = ::open(mstrLogFilePath_->c_str(), O_RDONLY | O_CLOEXEC);
    KVLFileUtil::lockFileForFd(miFDLogFile_);  // for other processes; the result does not matter here
    mFileHandle_ = platform::FileHandle::fileHandleForWritingToURL(platform::URL::fileURLWithPath(*mstrLogFilePath_));
    if (!mFileHandle_) {
        return;
    }
    // Every write goes to the end, also past lines that another writer added meanwhile.
    const int descriptor = mFileHandle_->fileDescriptor();
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_APPEND);
    struct stat status {};
    mFileEnd_ = ::fstat(descriptor, &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
    if (isLevelOn(KVLLogLevelInfo)) {
        std::string firstLine;
        beginLine(firstLine, KVLLogLevelName(KVLLogLevelInfo));
        platform::appendFormatArgs(firstLine, "%@ : %@\n", platform::FormatArgPack(mstrModuleName_, mstrAppVersion_));
        writeLineLocked(now, firstLine);
    }
}

std::optional<std::string> KVLLoggerFile::getNewLogFilePath() {
    KVLSafeZone zone;
    if (!mstrDirectory_) {
        return std::nullopt;
    }
    const std::string path = platform::PathUtilities::stringByAppendingPathComponent(
        *mstrDirectory_, KVLLogUtil::getLogFileNameWithPid(miPID_, mstrModuleName_.value_or("(null)")));
    if (!platform::FileManager::fileExistsAtPath(path)) {
        platform::FileManager::createFileAtPath(path, "");
    }
    return path;
}

std::string_view KVLLoggerFile::timestampLocked(platform::Date now) {
    // The formatter's text for the second, with the milliseconds ("SSS", the last three
    // characters, truncated as the formatter truncates them) put in per line.
    const auto millis = static_cast<std::int64_t>(std::floor(now.timeIntervalSince1970() * 1000.0));
    const std::int64_t second = millis >= 0 ? millis / 1000 : (millis - 999) / 1000;
    if (second != mTimestampSecond_) {
        mTimestamp_ = KVLLogUtil::logFileDateFormatterMsg().stringFromDate(
            platform::Date::fromTimeIntervalSince1970(static_cast<double>(second)));
        // The pattern gives exactly the room's width in en_US; the resize holds the room's
        // contract whatever a formatter gives.
        mTimestamp_.resize(kTimestampRoom, ' ');
        mTimestampSecond_ = second;
    }
    const int fraction = static_cast<int>(millis - second * 1000);
    char* const digits = mTimestamp_.data() + mTimestamp_.size() - 3;
    digits[0] = static_cast<char>('0' + fraction / 100);
    digits[1] = static_cast<char>('0' + fraction / 10 % 10);
    digits[2] = static_cast<char>('0' + fraction % 10);
    return mTimestamp_;
}
