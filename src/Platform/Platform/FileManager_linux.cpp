#include "Platform/FileManager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace platform {

// Linux names an open descriptor's item in /proc/self/fd; a removed file's name carries the
// suffix " (deleted)", which the platform's answer does not have.
std::optional<std::string> FileManager::pathOfDescriptor(int descriptor) {
    struct stat info {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0) {
        return std::nullopt;
    }
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size() || target.front() != '/') {
        return std::nullopt;  // pipes, sockets and the like have no path
    }
    target.resize(static_cast<std::size_t>(length));
    constexpr std::string_view kDeleted = " (deleted)";
    if (info.st_nlink == 0 && target.ends_with(kDeleted)) {
        target.resize(target.size() - kDeleted.size());
    }
    return target;
}

}  // namespace platform
