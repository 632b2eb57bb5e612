#include "Platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "Platform/ConfinedRoot.h"
#include "Platform/PathUtilities.h"
#include "Platform/RegularFile.h"

namespace platform {

std::unique_ptr<FileLock> FileLock::acquire(int descriptor, std::chrono::milliseconds wait, int* posixError) {
    constexpr std::chrono::milliseconds kRetryInterval(50);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int failure = errno;
        if (failure == EINTR) {
            continue;
        }
        if (failure != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            *posixError = failure;
            ::close(descriptor);
            return nullptr;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    return std::unique_ptr<FileLock>(new FileLock(descriptor));
}

std::unique_ptr<FileLock> FileLock::acquireBeneath(const ConfinedRoot& root, std::string_view path,
                                                   std::chrono::milliseconds wait, Error* error) {
    const std::string folder = PathUtilities::stringByDeletingLastPathComponent(std::string(path));
    int descriptor = -1;
    if (root.createDirectory(folder, true, {}, error)) {
        descriptor = root.openFile(path, O_RDWR | O_CREAT | O_NONBLOCK, 0644, error);
    }
    if (descriptor < 0) {
        return nullptr;
    }
    if (!RegularFile::checkDescriptor(descriptor, root.path() + "/" + std::string(path), error)) {
        ::close(descriptor);
        return nullptr;
    }
    int posixError = 0;
    auto lock = acquire(descriptor, wait, &posixError);
    if (!lock && error != nullptr) {
        *error =
            Error{std::string(kPOSIXErrorDomain), posixError, std::generic_category().message(posixError), nullptr};
    }
    return lock;
}

FileLock::~FileLock() {
    ::flock(descriptor_, LOCK_UN);
    ::close(descriptor_);
}

}  // namespace platform
