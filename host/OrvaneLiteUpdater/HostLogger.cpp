#include "HostLogger.h"

#include <fcntl.h>
#include <unistd.h>

#include "Platform/FileManager.h"
#include "Platform/PathUtilities.h"

HostLogger::HostLogger(std::uint64_t level, std::string logFilePath)
    : level_(level), logFilePath_(std::move(logFilePath)) {
    platform::FileManager::createDirectoryAtPath(platform::PathUtilities::stringByDeletingLastPathComponent(logFilePath_),
                                                 true);
    fd_ = ::open(logFilePath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

HostLogger::~HostLogger() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string_view HostLogger::tagOf(std::uint64_t level) {
    // The level's name in a log line, without its leading blank.
    const std::string_view name = KVLLogLevelName(level);
    return name.empty() ? "???" : name.substr(1);
}

void HostLogger::logMessageVAList(std::string_view format, std::uint64_t level, std::string_view fileName,
                                  std::int64_t lineNo, platform::FormatArgs args) {
    if (!isLevelOn(level)) {
        return;
    }
    const std::string line = platform::formatString("[%@] %@:%lld %@\n", tagOf(level),
                                                    platform::PathUtilities::lastPathComponent(fileName),
                                                    static_cast<long long>(lineNo), platform::formatStringArgs(format, args));
    std::lock_guard lock(mutex_);
    (void)!::write(STDERR_FILENO, line.data(), line.size());
    if (fd_ >= 0) {
        (void)!::write(fd_, line.data(), line.size());
    }
}
