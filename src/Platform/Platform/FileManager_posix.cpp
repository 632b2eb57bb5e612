#include "Platform/FileManager.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

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

template <typename Lookup, typename Entry>
std::optional<std::string> accountName(Lookup lookup, std::uint32_t id, char* Entry::*field) {
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    Entry entry{};
    Entry* found = nullptr;
    if (lookup(id, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return std::string(found->*field);
}

template <typename Lookup, typename Entry, typename Id>
std::optional<std::uint32_t> accountID(Lookup lookup, const std::string& name, Id Entry::*field) {
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    Entry entry{};
    Entry* found = nullptr;
    if (lookup(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(found->*field);
}

FileType typeOf(mode_t mode) {
    if (S_ISREG(mode)) return FileType::Regular;
    if (S_ISDIR(mode)) return FileType::Directory;
    if (S_ISLNK(mode)) return FileType::SymbolicLink;
    if (S_ISCHR(mode)) return FileType::CharacterSpecial;
    if (S_ISBLK(mode)) return FileType::BlockSpecial;
    if (S_ISSOCK(mode)) return FileType::Socket;
    if (S_ISFIFO(mode)) return FileType::FIFO;
    return FileType::Unknown;
}

// Applies the changes; 0 or the errno of the first call that failed. An unknown account
// name is EINVAL.
int applyAttributes(const FileAttributeChanges& changes, const std::string& path) {
    std::optional<std::uint32_t> owner = changes.ownerAccountID;
    std::optional<std::uint32_t> group = changes.groupOwnerAccountID;
    if (changes.ownerAccountName) {
        owner = accountID(::getpwnam_r, *changes.ownerAccountName, &passwd::pw_uid);
        if (!owner) return EINVAL;
    }
    if (changes.groupOwnerAccountName) {
        group = accountID(::getgrnam_r, *changes.groupOwnerAccountName, &group::gr_gid);
        if (!group) return EINVAL;
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
    std::error_code failure;
    fs::copy(source, destination, fs::copy_options::recursive | fs::copy_options::copy_symlinks, failure);
    return failure ? fail(error, FileOperation::Copy, failure.value(), source, destination) : true;
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
    FileAttributes attributes;
    attributes.size = static_cast<std::uint64_t>(info.st_size);
    attributes.posixPermissions = info.st_mode & 07777;
    attributes.ownerAccountID = info.st_uid;
    attributes.ownerAccountName = accountName(::getpwuid_r, info.st_uid, &passwd::pw_name);
    attributes.groupOwnerAccountID = info.st_gid;
    attributes.groupOwnerAccountName = accountName(::getgrgid_r, info.st_gid, &group::gr_name);
    attributes.type = typeOf(info.st_mode);
    return attributes;
}

bool FileManager::setAttributes(const FileAttributeChanges& attributes, const std::string& path, Error* error) {
    if (const int failure = lstatError(path)) {
        return fail(error, FileOperation::Create, failure, path);
    }
    const int failure = applyAttributes(attributes, path);
    return failure == 0 ? true : fail(error, FileOperation::Create, failure, path);
}

}  // namespace platform
