#include "HostLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "Platform/Clock.h"
#include "Platform/Format.h"
#include "Platform/PathUtilities.h"
#include "Platform/WriteAll.h"

namespace {

// "2026-12-06 02:30:00.123 pid 4242 " in local time.
std::string timeAndProcess() {
    const double now = platform::Clock::now().timeIntervalSince1970();
    const auto seconds = static_cast<std::time_t>(std::floor(now));
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return platform::formatString("%s.%03d pid %d ", text, static_cast<int>((now - std::floor(now)) * 1000),
                                  static_cast<int>(::getpid()));
}

}  // namespace

std::shared_ptr<HostLogger> HostLogger::open(std::uint64_t level, std::uint64_t consoleLevel, int folderDescriptor,
                                             const std::string& name, std::string displayPath, std::string* problem) {
    std::shared_ptr<HostLogger> logger(
        new HostLogger(level, consoleLevel, folderDescriptor, name, std::move(displayPath)));
    return logger->openFile(problem) ? logger : nullptr;
}

HostLogger::HostLogger(std::uint64_t level, std::uint64_t consoleLevel, int folderDescriptor, std::string name,
                       std::string displayPath)
    : level_(level),
      consoleLevel_(consoleLevel),
      folder_(folderDescriptor),
      name_(std::move(name)),
      displayPath_(std::move(displayPath)) {}

HostLogger::~HostLogger() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    ::close(folder_);
}

bool HostLogger::openFile(std::string* problem) {
    fd_ = ::openat(folder_, name_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat info {};
    if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = static_cast<std::uint64_t>(info.st_size);
        return true;
    }
    // A FIFO without a reader fails the open with ENXIO, one with a reader opens: both are refused.
    const bool opened = fd_ >= 0;
    *problem = "cannot open the log " + displayPath_ + ": " +
               (opened || errno == ENXIO ? std::string("it is not a regular file")
                : errno == ELOOP         ? std::string("it is a symbolic link")
                                         : std::string(std::strerror(errno)));
    if (opened) {
        ::close(fd_);
        fd_ = -1;
    }
    return false;
}

void HostLogger::writeToFile(std::string_view text) {
    if (fd_ < 0) {
        return;
    }
    std::string problem;
    if (size_ > 0 && size_ + text.size() > kRollSize) {
        ::close(fd_);
        fd_ = -1;
        if (::renameat(folder_, name_.c_str(), folder_, (name_ + ".1").c_str()) != 0) {
            problem = "cannot roll the log " + displayPath_ + ": " + std::strerror(errno);
        } else {
            openFile(&problem);
        }
    }
    if (problem.empty() && !platform::writeAll(fd_, text)) {
        problem = "cannot write the log " + displayPath_ + ": " + std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
    }
    if (!problem.empty()) {
        platform::writeAll(STDERR_FILENO, problem + "\n");
        return;
    }
    size_ += text.size();
}

void HostLogger::logHeader(std::string_view text) {
    const std::string line = timeAndProcess() + "==== " + std::string(text) + "\n";
    std::lock_guard lock(mutex_);
    writeToFile(line);
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
    const std::string line =
        platform::formatString("[%@] %@:%lld %@\n", tagOf(level), platform::PathUtilities::lastPathComponent(fileName),
                               static_cast<long long>(lineNo), platform::formatStringArgs(format, args));
    std::lock_guard lock(mutex_);
    if (KVLIsLogLevelOn(consoleLevel_, level)) {
        platform::writeAll(STDERR_FILENO, line);
    }
    writeToFile(timeAndProcess() + line);
}
