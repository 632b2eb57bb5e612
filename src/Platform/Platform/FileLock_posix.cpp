#include "Platform/FileLock.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

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

FileLock::~FileLock() {
    ::flock(descriptor_, LOCK_UN);
    ::close(descriptor_);
}

}  // namespace platform
