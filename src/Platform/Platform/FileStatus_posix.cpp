#include "Platform/FileStatus.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace platform {

namespace {

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
    if (S_ISREG(mode))
        return FileType::Regular;
    if (S_ISDIR(mode))
        return FileType::Directory;
    if (S_ISLNK(mode))
        return FileType::SymbolicLink;
    if (S_ISCHR(mode))
        return FileType::CharacterSpecial;
    if (S_ISBLK(mode))
        return FileType::BlockSpecial;
    if (S_ISSOCK(mode))
        return FileType::Socket;
    if (S_ISFIFO(mode))
        return FileType::FIFO;
    return FileType::Unknown;
}

}  // namespace

FileAttributes FileStatus::attributes(const struct stat& info) {
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

int FileStatus::accountIDs(const FileAttributeChanges& changes, std::optional<std::uint32_t>* owner,
                           std::optional<std::uint32_t>* group) {
    *owner = changes.ownerAccountID;
    *group = changes.groupOwnerAccountID;
    if (changes.ownerAccountName) {
        *owner = accountID(::getpwnam_r, *changes.ownerAccountName, &passwd::pw_uid);
        if (!*owner)
            return EINVAL;
    }
    if (changes.groupOwnerAccountName) {
        *group = accountID(::getgrnam_r, *changes.groupOwnerAccountName, &group::gr_gid);
        if (!*group)
            return EINVAL;
    }
    return 0;
}

}  // namespace platform
