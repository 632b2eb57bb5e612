#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

#include "Platform/DistributedLock.h"
#include "Platform/PathUtilities.h"

namespace platform {

namespace {

[[noreturn]] void raise(const char* operation, const std::string& path, int posixError) {
    throw Exception(kGenericException,
                    std::string(operation) + " '" + path + "': " + std::generic_category().message(posixError));
}

// Holds left behind by lock objects destroyed while holding, by path, until released.
struct OrphanedHolds {
    std::mutex mutex;
    std::multimap<std::string, int> descriptors;
};

OrphanedHolds& orphanedHolds() {
    static OrphanedHolds holds;
    return holds;
}

// Takes one descriptor of an orphaned hold on path, or -1.
int takeOrphanedHold(const std::string& path) {
    OrphanedHolds& holds = orphanedHolds();
    std::lock_guard lock(holds.mutex);
    const auto found = holds.descriptors.find(path);
    if (found == holds.descriptors.end()) {
        return -1;
    }
    const int descriptor = found->second;
    holds.descriptors.erase(found);
    return descriptor;
}

void release(int descriptor) {
    ::flock(descriptor, LOCK_UN);
    ::close(descriptor);
}

Date modificationDate(const struct stat& info) {
    return Date::fromTimeIntervalSince1970(static_cast<double>(info.st_mtim.tv_sec) +
                                           static_cast<double>(info.st_mtim.tv_nsec) / 1e9);
}

}  // namespace

bool DistributedLock::canServePath(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return false;
    }
    const std::string folder = PathUtilities::stringByDeletingLastPathComponent(path);
    return ::stat(folder.empty() ? "." : folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

DistributedLock::~DistributedLock() {
    if (descriptor_ >= 0) {
        OrphanedHolds& holds = orphanedHolds();
        std::lock_guard lock(holds.mutex);
        holds.descriptors.emplace(path_, descriptor_);
    }
}

bool DistributedLock::tryLock() {
    if (descriptor_ >= 0) {
        return false;
    }
    for (;;) {
        const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0) {
            raise("tryLock", path_, errno);
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int failure = errno;
            ::close(descriptor);
            if (failure == EWOULDBLOCK) {
                return false;
            }
            raise("tryLock", path_, failure);
        }
        // A breakLock between the open and the flock leaves this lock on a file that is no
        // longer at the path; start again on the one that is.
        struct stat held {};
        struct stat current {};
        if (::fstat(descriptor, &held) == 0 && ::stat(path_.c_str(), &current) == 0 && held.st_dev == current.st_dev &&
            held.st_ino == current.st_ino) {
            ::futimens(descriptor, nullptr);  // the lock date; without write access it stays as it was
            descriptor_ = descriptor;
            return true;
        }
        release(descriptor);
    }
}

void DistributedLock::unlock() {
    int descriptor = descriptor_;
    descriptor_ = -1;
    if (descriptor < 0) {
        descriptor = takeOrphanedHold(path_);
    }
    if (descriptor < 0) {
        raise("unlock", path_, ENOLCK);
    }
    release(descriptor);
}

void DistributedLock::breakLock() {
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
        raise("breakLock", path_, errno);
    }
    if (descriptor_ >= 0) {
        release(descriptor_);
        descriptor_ = -1;
    }
    for (int orphan = takeOrphanedHold(path_); orphan >= 0; orphan = takeOrphanedHold(path_)) {
        release(orphan);
    }
}

std::optional<Date> DistributedLock::lockDate() {
    struct stat info {};
    if (descriptor_ >= 0) {
        return ::fstat(descriptor_, &info) == 0 ? std::optional(modificationDate(info)) : std::nullopt;
    }
    const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::optional<Date> date;
    if (::flock(descriptor, LOCK_SH | LOCK_NB) == 0) {
        ::flock(descriptor, LOCK_UN);
    } else if (errno == EWOULDBLOCK && ::fstat(descriptor, &info) == 0) {
        date = modificationDate(info);
    }
    ::close(descriptor);
    return date;
}

}  // namespace platform
