#include "LoggerService/Private/KVLLoggerFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <span>

#include "KVLSharedUtil/KVLFileUtil.h"
#include "KVLSharedUtil/KVLSafeZone.h"
#include "LoggerService/Private/KVLLogUtil.h"
#include "Platform/Bundle.h"
#include "Platform/Calendar.h"
#include "Platform/Clock.h"
#include "Platform/FileManager.h"
#include "Platform/PathUtilities.h"
#include "Platform/ProcessInfo.h"
#include "Platform/URL.h"

namespace {

std::string mainBundleShortVersion() {
    const auto bundle = platform::Bundle::mainBundle();
    if (!bundle) {
        return {};
    }
    const auto value = bundle->objectForInfoDictionaryKey("CFBundleShortVersionString");
    const std::string* text = value ? value->string() : nullptr;
    return text != nullptr ? *text : std::string();
}

// A file name's "%" must not read as a placeholder once the name is part of a format.
std::string escapedForFormat(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        escaped += c;
        if (c == '%') {
            escaped += '%';
        }
    }
    return escaped;
}

// The system thread id costs a system call per reading, while a thread's id never changes:
// it is read once per thread. Only the forking thread lives on in the child of fork, under a
// new id, so its copy is forgotten there.
thread_local std::uint64_t tSystemThreadID = 0;

std::uint64_t systemThreadID() {
    static const int forgetInForkedChild = ::pthread_atfork(nullptr, nullptr, [] { tSystemThreadID = 0; });
    (void)forgetInForkedChild;
    if (tSystemThreadID == 0) {
        tSystemThreadID = platform::ProcessInfo::systemThreadID();
    }
    return tSystemThreadID;
}

}  // namespace

KVLLoggerFile::KVLLoggerFile(const std::optional<std::string>& logDir, const std::optional<std::string>& moduleName,
                             std::uint64_t logLevel)
    : mlLevel_(logLevel),
      mstrDirectory_(logDir),
      mstrModuleName_(moduleName),
      mstrAppVersion_(mainBundleShortVersion()),
      miPID_(platform::ProcessInfo::processIdentifier()) {
    logFileInitialize();
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
    if (!isLevelOn(level)) {
        return;  // log() would drop it; spare the prefix
    }
    const std::string prefixed =
        escapedForFormat(platform::PathUtilities::lastPathComponent(fileName)) + "(" + std::to_string(lineNo) +
        ") : " + std::string(format);
    switch (level) {
        case KVLLogLevelApi: apiVAList(prefixed, args); break;
        case KVLLogLevelUnexpected: unexpectedVAList(prefixed, args); break;
        case KVLLogLevelError: errorVAList(prefixed, args); break;
        case KVLLogLevelWarn: warnVAList(prefixed, args); break;
        case KVLLogLevelInfo: infoVAList(prefixed, args); break;
        case KVLLogLevelDebug: debugVAList(prefixed, args); break;
        default: break;  // not one of the six levels
    }
}

void KVLLoggerFile::unexpectedVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelUnexpected, " UNX", format, args);
}

void KVLLoggerFile::infoVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelInfo, " INF", format, args);
}

void KVLLoggerFile::debugVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelDebug, " DBG", format, args);
}

void KVLLoggerFile::errorVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelError, " ERR", format, args);
}

void KVLLoggerFile::warnVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelWarn, " WRN", format, args);
}

void KVLLoggerFile::apiVAList(std::string_view format, platform::FormatArgs args) {
    KVLSafeZone zone;
    log(KVLLogLevelApi, " API", format, args);
}

void KVLLoggerFile::log(std::uint64_t level, std::string_view levelName, std::string_view format,
                        platform::FormatArgs args) {
    KVLSafeZone zone;
    if (!isLevelOn(level)) {
        return;
    }
    const std::string text = platform::formatStringArgs(format, args);
    const std::lock_guard lock(mMutex_);
    writeLogLocked(platform::Clock::now(), levelName, text);
}

void KVLLoggerFile::rollLogFileNow() {
    const std::lock_guard lock(mMutex_);
    rollLogFileNowLocked();
}

void KVLLoggerFile::logFileInitialize() {
    const std::lock_guard lock(mMutex_);
    logFileInitializeLocked(platform::Clock::now());
}

void KVLLoggerFile::writeLogLocked(platform::Date now, std::string_view levelName, std::string_view text) {
    KVLSafeZone zone;
    // Without an open file the line is lost; only a write into an open file may roll.
    if (!mFileHandle_) {
        return;
    }
    rollLogFileIfNeededLocked(now);
    if (mFileHandle_) {
        writeLineLocked(now, levelName, text);
    }
}

void KVLLoggerFile::writeLineLocked(platform::Date now, std::string_view levelName, std::string_view text) {
    const std::string line = platform::formatString("%@ : %6d : %8llu : %@ : %@\n", timestampLocked(now), miPID_,
                                                    systemThreadID(), levelName, text);
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
    KVLSafeZone zone;
    const double seconds = now.timeIntervalSince1970();
    if (seconds >= mDayStart_ && seconds < mDayEnd_) {
        return;
    }
    rollLogFileNowLocked();
    logFileInitializeLocked(now);
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
    // opening is taken as the creation time whether or not the file was made here.
    mlCreationTime_ = now.timeIntervalSince1970();
    const platform::Calendar calendar;
    platform::DateComponents day = calendar.components(now);
    day.hour = day.minute = day.second = day.nanosecond = 0;
    const std::optional<platform::Date> dayStart = calendar.dateFromComponents(day);
    day.day += 1;
    const std::optional<platform::Date> dayEnd = calendar.dateFromComponents(day);
    mDayStart_ = dayStart ? dayStart->timeIntervalSince1970() : -INFINITY;
    mDayEnd_ = dayEnd ? dayEnd->timeIntervalSince1970() : INFINITY;
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
        writeLineLocked(now, " INF",
                        platform::formatString("%@ : %@", mstrModuleName_, mstrAppVersion_));
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

std::string KVLLoggerFile::timestampLocked(platform::Date now) {
    // The formatter's text for the second, with the milliseconds ("SSS", the last three
    // characters, truncated as the formatter truncates them) put in per line.
    const auto millis = static_cast<std::int64_t>(std::floor(now.timeIntervalSince1970() * 1000.0));
    const std::int64_t second = millis >= 0 ? millis / 1000 : (millis - 999) / 1000;
    if (second != mTimestampSecond_) {
        const std::string text = KVLLogUtil::logFileDateFormatterMsg().stringFromDate(
            platform::Date::fromTimeIntervalSince1970(static_cast<double>(second)));
        mTimestampPrefix_ = text.substr(0, text.size() >= 3 ? text.size() - 3 : text.size());
        mTimestampSecond_ = second;
    }
    const int fraction = static_cast<int>(millis - second * 1000);
    return mTimestampPrefix_ + static_cast<char>('0' + fraction / 100) + static_cast<char>('0' + fraction / 10 % 10) +
           static_cast<char>('0' + fraction % 10);
}
