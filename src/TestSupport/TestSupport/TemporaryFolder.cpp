#include "TestSupport/TemporaryFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace kvltest {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::uint64_t mountOf(int folder, const char* name) {
    struct statx info {};
    return ::statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_EMPTY_PATH, STATX_MNT_ID, &info) == 0 ? info.stx_mnt_id : 0;
}

// Removes what the open folder holds, folder by folder, staying on the folder's own mount.
void removeContents(int folder, std::uint64_t mount) {
    DIR* listing = ::fdopendir(::dup(folder));
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (::unlinkat(folder, entry->d_name, 0) == 0 || errno != EISDIR || mountOf(folder, entry->d_name) != mount) {
            continue;
        }
        // Tests may leave folders their owner cannot open (when the suite does not run as root).
        ::fchmodat(folder, entry->d_name, 0700, AT_SYMLINK_NOFOLLOW);
        const int inner = ::openat(folder, entry->d_name, kFolderFlags);
        if (inner >= 0) {
            removeContents(inner, mount);
            ::close(inner);
        }
        ::unlinkat(folder, entry->d_name, AT_REMOVEDIR);
    }
    ::closedir(listing);
}

}  // namespace

TemporaryFolder::TemporaryFolder(std::string_view prefix) {
    const std::filesystem::path parent = std::filesystem::canonical(std::filesystem::temp_directory_path());
    std::string pattern = (parent / (std::string(prefix) + "-XXXXXX")).string();
    parent_ = ::open(parent.c_str(), kFolderFlags);
    const int folder = ::mkdtemp(pattern.data()) != nullptr ? ::open(pattern.c_str(), kFolderFlags) : -1;
    struct stat info {};
    if (parent_ < 0 || folder < 0 || ::fstat(folder, &info) != 0) {
        ADD_FAILURE() << "cannot create a temporary folder from " << pattern;
        // Never let a test run against the real machine.
        std::abort();
    }
    ::close(folder);
    path_ = pattern;
    name_ = std::filesystem::path(pattern).filename();
    device_ = info.st_dev;
    inode_ = info.st_ino;
}

TemporaryFolder::~TemporaryFolder() {
    const int folder = ::openat(parent_, name_.c_str(), kFolderFlags);
    struct stat info {};
    if (folder < 0 || ::fstat(folder, &info) != 0 || info.st_dev != device_ || info.st_ino != inode_) {
        ADD_FAILURE() << "not removing " << path_ << ": it is not the folder made for the test any more";
    } else {
        removeContents(folder, mountOf(folder, ""));
        ::unlinkat(parent_, name_.c_str(), AT_REMOVEDIR);
    }
    if (folder >= 0) {
        ::close(folder);
    }
    ::close(parent_);
}

}  // namespace kvltest
