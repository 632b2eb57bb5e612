#include "Platform/FileManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <vector>

#include "Platform/DescriptorTree.h"
#include "Platform/FileStatus.h"
#include "Platform/PathUtilities.h"
#include "Platform/WriteAll.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

bool fail(Error* error, FileOperation operation, int posixError, std::string_view path,
          std::string_view destination = {}) {
    if (error != nullptr) {
        *error = FileManager::errorFor(operation, posixError, path, destination);
    }
    return false;
}

// 0 when something exists at the path (a link counts itself), else the errno of lstat.
int lstatError(const std::string& path, struct stat* info = nullptr) {
    struct stat ignored {};
    return ::lstat(path.c_str(), info != nullptr ? info : &ignored) == 0 ? 0 : errno;
}

// Checks the two ends of a copy or move: the source must exist, the destination must not,
// and its folder must. 0 when both are fine.
int destinationError(const std::string& destination) {
    const int existing = lstatError(destination);
    if (existing == 0) {
        return EEXIST;
    }
    if (existing != ENOENT) {
        return existing;
    }
    struct stat folder {};
    const std::string parent = PathUtilities::stringByDeletingLastPathComponent(destination);
    if (::stat(parent.empty() ? "." : parent.c_str(), &folder) != 0) {
        return errno;
    }
    return S_ISDIR(folder.st_mode) ? 0 : ENOTDIR;
}

// A folder opened for the descriptor operations; "" is the current folder.
int openFolder(const std::string& path) {
    return ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Applies the changes; 0 or the errno of the first call that failed. An unknown account
// name is EINVAL.
int applyAttributes(const FileAttributeChanges& changes, const std::string& path) {
    std::optional<std::uint32_t> owner;
    std::optional<std::uint32_t> group;
    if (const int unknown = FileStatus::accountIDs(changes, &owner, &group)) {
        return unknown;
    }
    if ((owner || group) && ::lchown(path.c_str(), owner ? static_cast<uid_t>(*owner) : static_cast<uid_t>(-1),
                                     group ? static_cast<gid_t>(*group) : static_cast<gid_t>(-1)) != 0) {
        return errno;
    }
    // After the owner, which may clear the set-id bits.
    if (changes.posixPermissions &&
        ::chmod(path.c_str(), static_cast<mode_t>(*changes.posixPermissions & 07777)) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace

bool FileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) {
    struct stat info {};
    // Like the platform, a link is followed: a dangling one does not exist.
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (isDirectory != nullptr) {
        *isDirectory = exists && S_ISDIR(info.st_mode);
    }
    return exists;
}

bool FileManager::createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                                        const FileAttributeChanges& attributes, Error* error) {
    const std::string clean = PathUtilities::standardizedSeparators(path);
    bool isDirectory = false;
    if (fileExistsAtPath(clean, &isDirectory) || lstatError(clean) == 0) {
        return isDirectory && withIntermediateDirectories ? true : fail(error, FileOperation::Create, EEXIST, clean);
    }
    // The folders to make, outermost first.
    std::vector<std::string> missing{clean};
    if (withIntermediateDirectories) {
        for (std::string parent = PathUtilities::stringByDeletingLastPathComponent(clean);
             !parent.empty() && parent != "/" && !fileExistsAtPath(parent);
             parent = PathUtilities::stringByDeletingLastPathComponent(parent)) {
            missing.insert(missing.begin(), parent);
        }
    }
    for (const std::string& folder : missing) {
        if (::mkdir(folder.c_str(), 0777) != 0) {
            return fail(error, FileOperation::Create, errno, folder);
        }
        if (const int failure = applyAttributes(attributes, folder)) {
            return fail(error, FileOperation::Create, failure, folder);
        }
    }
    return true;
}

bool FileManager::createFileAtPath(const std::string& path, std::string_view contents,
                                   const FileAttributeChanges& attributes) {
    // In place, not by rename: a lock file emptied this way keeps its holders' locks.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return false;
    }
    const bool written = writeAll(descriptor, contents);
    return (::close(descriptor) == 0) && written && applyAttributes(attributes, path) == 0;
}

bool FileManager::copyItemAtPath(const std::string& source, const std::string& destination, Error* error) {
    if (const int failure = lstatError(source)) {
        return fail(error, FileOperation::Read, failure, source);
    }
    if (const int failure = destinationError(destination)) {
        return fail(error, FileOperation::Copy, failure, source, destination);
    }
    // Between the two folders' descriptors: every file written whole under a temporary name,
    // the real errno kept, links copied as they are.
    const int sourceFolder = openFolder(PathUtilities::stringByDeletingLastPathComponent(source));
    const int destinationFolder = openFolder(PathUtilities::stringByDeletingLastPathComponent(destination));
    int failure = sourceFolder < 0 || destinationFolder < 0 ? errno : 0;
    if (failure == 0) {
        failure = DescriptorTree::copyItem(sourceFolder, PathUtilities::lastPathComponent(source), destinationFolder,
                                           PathUtilities::lastPathComponent(destination), false,
                                           [](const std::string&, const std::string&) { return 0; });
    }
    for (const int folder : {sourceFolder, destinationFolder}) {
        if (folder >= 0)
            ::close(folder);
    }
    return failure != 0 ? fail(error, FileOperation::Copy, failure, source, destination) : true;
}

bool FileManager::moveItemAtPath(const std::string& source, const std::string& destination, Error* error) {
    int failure = lstatError(source);
    if (failure == 0) {
        failure = destinationError(destination);
    }
    if (failure == 0 && ::rename(source.c_str(), destination.c_str()) != 0) {
        failure = errno;
        // Across volumes the move is a copy followed by a removal.
        if (failure == EXDEV) {
            Error copyError;
            if (!copyItemAtPath(source, destination, &copyError)) {
                failure = static_cast<int>(copyError.underlyingError->code);
            } else {
                return removeItemAtPath(source, error);
            }
        }
    }
    return failure == 0 ? true : fail(error, FileOperation::Move, failure, source, destination);
}

bool FileManager::removeItemAtPath(const std::string& path, Error* error) {
    if (const int failure = lstatError(path)) {
        return fail(error, FileOperation::Remove, failure, path);
    }
    std::error_code failure;
    fs::remove_all(path, failure);
    return failure ? fail(error, FileOperation::Remove, failure.value(), path) : true;
}

std::optional<FileAttributes> FileManager::attributesOfItemAtPath(const std::string& path, Error* error) {
    struct stat info {};
    if (const int failure = lstatError(path, &info)) {
        fail(error, FileOperation::Read, failure, path);
        return std::nullopt;
    }
    return FileStatus::attributes(info);
}

bool FileManager::setAttributes(const FileAttributeChanges& attributes, const std::string& path, Error* error) {
    if (const int failure = lstatError(path)) {
        return fail(error, FileOperation::Create, failure, path);
    }
    const int failure = applyAttributes(attributes, path);
    return failure == 0 ? true : fail(error, FileOperation::Create, failure, path);
}

}  // namespace platform
