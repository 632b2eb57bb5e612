#include "Platform/ConfinedRoot.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <filesystem>

#include "Platform/DescriptorTree.h"
#include "Platform/FileStatus.h"
#include "Platform/OwnedDescriptor.h"
#include "Platform/PathUtilities.h"
#include "Platform/RegularFile.h"

namespace platform {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr int kMaximumLinks = 40;  // as the kernel allows on one path

// Whether openat2 works here: older kernels lack it (ENOSYS) and some system-call filters
// that predate it refuse it (EPERM).
bool openat2Works() {
    static const bool works = [] {
        open_how how{};
        how.flags = O_PATH | O_CLOEXEC;
        const long probe = ::syscall(SYS_openat2, AT_FDCWD, "/", &how, sizeof how);
        if (probe >= 0)
            ::close(static_cast<int>(probe));
        return probe >= 0;
    }();
    return works;
}

int openBeneath(int root, const std::string& relative, int flags, mode_t mode) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.mode = (flags & O_CREAT) != 0 ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (;;) {
        const long descriptor = ::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
        // EAGAIN: a rename elsewhere raced the lookup, which the kernel wants retried.
        if (descriptor >= 0 || (errno != EAGAIN && errno != EINTR)) {
            return static_cast<int>(descriptor);
        }
    }
}

std::deque<std::string> componentsOf(std::string_view path) {
    std::deque<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start)
            components.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

// The fallback: one component at a time with O_NOFOLLOW, links read and expanded by hand,
// with the rules of RESOLVE_BENEATH (no absolute link, no ".." above the root).
int walkBeneath(int root, const std::string& relative, int flags, mode_t mode) {
    std::vector<OwnedDescriptor> folders;
    folders.emplace_back(::openat(root, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folders.back().get() < 0)
        return -1;
    std::deque<std::string> pending = componentsOf(relative);
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.front());
        pending.pop_front();
        if (name == ".")
            continue;
        if (name == "..") {
            if (folders.size() == 1) {
                errno = EXDEV;
                return -1;
            }
            folders.pop_back();
            continue;
        }
        const bool last = pending.empty();
        const int openFlags = last ? flags | O_NOFOLLOW : O_PATH | O_DIRECTORY | O_NOFOLLOW;
        const bool followsLast = (flags & O_NOFOLLOW) == 0;
        OwnedDescriptor next(::openat(folders.back().get(), name.c_str(), openFlags | O_CLOEXEC, mode));
        int failure = next.get() >= 0 ? 0 : errno;
        struct stat info {};
        // O_PATH with O_NOFOLLOW opens a link itself; one to follow is expanded below.
        if (failure == 0 && last && followsLast && (flags & O_PATH) != 0 && ::fstat(next.get(), &info) == 0 &&
            S_ISLNK(info.st_mode)) {
            failure = ELOOP;
        }
        if (failure == 0) {
            if (last)
                return next.release();
            folders.push_back(std::move(next));
            continue;
        }
        if ((failure != ELOOP && failure != ENOTDIR) || (last && !followsLast)) {
            errno = failure;
            return -1;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlinkat(folders.back().get(), name.c_str(), target.data(), target.size());
        if (length < 0) {
            errno = failure;
            return -1;
        }
        target.resize(static_cast<std::size_t>(length));
        if (++links > kMaximumLinks) {
            errno = ELOOP;
            return -1;
        }
        if (target.starts_with('/')) {
            errno = EXDEV;
            return -1;
        }
        auto expanded = componentsOf(target);
        pending.insert(pending.begin(), expanded.begin(), expanded.end());
    }
    // The path ended on the root or on a "..".
    return ::openat(folders.back().get(), ".", (flags & ~(O_CREAT | O_EXCL | O_NOFOLLOW)) | O_CLOEXEC);
}

// Whether a link target, read from the folder that holds the link, stays beneath the root.
bool staysBeneath(const std::string& linkFolder, const std::string& target) {
    if (target.starts_with('/'))
        return false;
    int depth = 0;
    for (const std::string& component : componentsOf(linkFolder + "/" + target)) {
        if (component == "..") {
            if (--depth < 0)
                return false;
        } else if (component != ".") {
            ++depth;
        }
    }
    return true;
}

// Where an open folder is, as a path below the root's own place; null when it is not below.
std::optional<std::string> placeBelow(int folder, int root) {
    const auto place = FileManager::pathOfDescriptor(folder);
    const auto rootPlace = FileManager::pathOfDescriptor(root);
    if (!place || !rootPlace)
        return std::nullopt;
    if (*place == *rootPlace)
        return std::string();
    const std::string prefix = *rootPlace == "/" ? "/" : *rootPlace + "/";
    if (!place->starts_with(prefix))
        return std::nullopt;
    return place->substr(prefix.size());
}

Error errorWithDescription(FileOperation operation, int posixError, std::string_view path, std::string description) {
    Error error = FileManager::errorFor(operation, posixError, path);
    error.localizedDescription = std::move(description);
    return error;
}

Error refusal(FileOperation operation, std::string_view path, std::string description) {
    Error error = errorWithDescription(operation, EPERM, path, std::move(description));
    error.underlyingError = std::make_shared<const Error>(
        Error{std::string(kPOSIXErrorDomain), EXDEV, std::generic_category().message(EXDEV), nullptr});
    return error;
}

}  // namespace

ConfinedRoot::ConfinedRoot(std::string path, int descriptor, bool walk)
    : path_(std::move(path)), descriptor_(descriptor), walk_(walk) {}

ConfinedRoot::~ConfinedRoot() { ::close(descriptor_); }

std::shared_ptr<const ConfinedRoot> ConfinedRoot::open(const std::string& path, Error* error, Resolution resolution) {
    std::error_code ignored;
    std::string absolute = std::filesystem::absolute(path, ignored).lexically_normal().string();
    while (absolute.size() > 1 && absolute.ends_with('/'))
        absolute.pop_back();
    errno = ENOENT;  // an empty path names nothing, not the current folder
    OwnedDescriptor root(path.empty() ? -1 : ::open(absolute.c_str(), kFolderFlags));
    struct stat info {};
    // Looking up "." needs the right to enter the folder.
    if (root.get() < 0 || ::fstatat(root.get(), ".", &info, 0) != 0) {
        const int failure = errno;
        if (error != nullptr) {
            *error = errorWithDescription(
                FileOperation::Read, failure, absolute,
                "The root “" + absolute + "” cannot be opened: " + std::generic_category().message(failure) + ".");
        }
        return nullptr;
    }
    return std::shared_ptr<const ConfinedRoot>(
        new ConfinedRoot(std::move(absolute), root.release(), resolution == Resolution::ComponentWalk));
}

std::optional<std::string> ConfinedRoot::relativePath(std::string_view path, Error* error) const {
    const std::filesystem::path given{std::string(path)};
    std::string normal = given.lexically_normal().string();
    while (normal.size() > 1 && normal.ends_with('/'))
        normal.pop_back();
    if (normal == ".")
        return std::string();
    if (given.is_absolute()) {
        if (normal == path_)
            return std::string();
        const std::string prefix = path_ == "/" ? "/" : path_ + "/";
        if (normal.starts_with(prefix))
            return normal.substr(prefix.size());
    } else if (normal != ".." && !normal.starts_with("../")) {
        return normal;
    }
    if (error != nullptr) {
        const std::string named(path);
        *error = refusal(FileOperation::Create, named, "“" + named + "” lies outside the root “" + path_ + "”.");
    }
    return std::nullopt;
}

bool ConfinedRoot::leadsOutside(const Error& error) {
    return error.domain == kCocoaErrorDomain && (error.code == 513 || error.code == 257) && error.underlyingError &&
           error.underlyingError->code == EXDEV;
}

std::string ConfinedRoot::absolute(const std::string& relative) const {
    return relative.empty() ? path_ : PathUtilities::stringByAppendingPathComponent(path_, relative);
}

int ConfinedRoot::resolve(const std::string& relative, int flags, std::uint32_t mode) const {
    if (!walk_ && openat2Works()) {
        return openBeneath(descriptor_, relative.empty() ? "." : relative, flags, mode);
    }
    return walkBeneath(descriptor_, relative, flags, mode);
}

int ConfinedRoot::openParent(const std::string& relative, std::string* name) const {
    if (relative.empty()) {
        errno = EPERM;
        return -1;
    }
    *name = PathUtilities::lastPathComponent(relative);
    return resolve(PathUtilities::stringByDeletingLastPathComponent(relative), kFolderFlags);
}

namespace {

// The error of a path that could not be resolved: one leading out names the path and the
// root; any other has the file manager's wording.
Error resolutionError(FileOperation operation, int posixError, const std::string& path, const std::string& root,
                      std::string_view destination = {}) {
    if (posixError != EXDEV)
        return FileManager::errorFor(operation, posixError, path, destination);
    return refusal(operation, path, "“" + path + "” leads outside the root “" + root + "” through a symbolic link.");
}

template <typename Result>
Result report(Error* error, Error failure, Result answer) {
    if (error != nullptr)
        *error = std::move(failure);
    return answer;
}

}  // namespace

bool ConfinedRoot::fileExists(std::string_view path, bool* isDirectory) const {
    struct stat info {};
    const auto relative = relativePath(path);
    OwnedDescriptor item(relative ? resolve(*relative, O_PATH) : -1);
    const bool exists = item.get() >= 0 && ::fstat(item.get(), &info) == 0;
    if (isDirectory != nullptr)
        *isDirectory = exists && S_ISDIR(info.st_mode);
    return exists;
}

std::optional<FileAttributes> ConfinedRoot::attributesOfItem(std::string_view path, Error* error) const {
    const auto relative = relativePath(path, error);
    if (!relative)
        return std::nullopt;
    struct stat info {};
    if (relative->empty()) {
        if (::fstat(descriptor_, &info) != 0) {
            return report(error, FileManager::errorFor(FileOperation::Read, errno, path_), std::nullopt);
        }
        return FileStatus::attributes(info);
    }
    std::string name;
    OwnedDescriptor folder(openParent(*relative, &name));
    if (folder.get() < 0 || ::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return report(error, resolutionError(FileOperation::Read, errno, absolute(*relative), path_), std::nullopt);
    }
    return FileStatus::attributes(info);
}

std::optional<std::vector<std::string>> ConfinedRoot::contentsOfDirectory(std::string_view path, Error* error) const {
    const auto relative = relativePath(path, error);
    if (!relative)
        return std::nullopt;
    OwnedDescriptor folder(resolve(*relative, kFolderFlags));
    auto names = folder.get() < 0 ? std::nullopt : DescriptorTree::names(folder.get());
    if (!names) {
        return report(error, resolutionError(FileOperation::Read, errno, absolute(*relative), path_), std::nullopt);
    }
    return names;
}

bool ConfinedRoot::createDirectory(std::string_view path, bool withIntermediateDirectories,
                                   const FileAttributeChanges& attributes, Error* error) const {
    const auto relative = relativePath(path, error);
    if (!relative)
        return false;
    const auto components = componentsOf(*relative);
    std::string reached;
    for (std::size_t index = 0; index < components.size(); ++index) {
        const bool last = index + 1 == components.size();
        const std::string parent = reached;
        reached = PathUtilities::stringByAppendingPathComponent(reached, components[index]);
        OwnedDescriptor existing(resolve(reached, kFolderFlags));
        if (existing.get() >= 0 && !last)
            continue;
        int failure = existing.get() >= 0 || (last && errno == ENOTDIR) ? EEXIST : errno;
        if (failure == ENOENT && (last || withIntermediateDirectories)) {
            OwnedDescriptor folder(resolve(parent, kFolderFlags));
            failure = folder.get() < 0 ? errno : 0;
            if (failure == 0 && ::mkdirat(folder.get(), components[index].c_str(), 0777) != 0)
                failure = errno;
            if (failure == 0 && !setAttributes(attributes, absolute(reached), error))
                return false;
            if (failure == 0)
                continue;
        }
        // An intermediate folder may also have been made by someone else since it was looked for.
        if (failure == EEXIST && withIntermediateDirectories) {
            bool isDirectory = false;
            if (fileExists(absolute(reached), &isDirectory) && isDirectory) {
                if (last)
                    return true;
                continue;
            }
        }
        const std::string failed = failure == ENOENT ? absolute(*relative) : absolute(reached);
        return report(error, resolutionError(FileOperation::Create, failure, failed, path_), false);
    }
    // Only the root itself, which exists, gets here without having made the last folder.
    return !relative->empty() || withIntermediateDirectories
               ? true
               : report(error, FileManager::errorFor(FileOperation::Create, EEXIST, path_), false);
}

std::optional<std::string> ConfinedRoot::contentsOfFile(std::string_view path, std::uint64_t maxSize,
                                                        Error* error) const {
    const auto relative = relativePath(path, error);
    if (!relative)
        return std::nullopt;
    OwnedDescriptor file(resolve(*relative, RegularFile::openFlags()));
    if (file.get() < 0) {
        return report(error, resolutionError(FileOperation::Read, errno, absolute(*relative), path_), std::nullopt);
    }
    return RegularFile::readDescriptor(file.get(), absolute(*relative), maxSize, error);
}

bool ConfinedRoot::actInParent(std::string_view path, FileOperation operation,
                               const std::function<int(int folder, const std::string& name)>& act, Error* error) const {
    const auto relative = relativePath(path, error);
    if (!relative)
        return false;
    std::string name;
    OwnedDescriptor folder(openParent(*relative, &name));
    if (folder.get() < 0) {
        return report(error, resolutionError(operation, errno, absolute(*relative), path_), false);
    }
    if (const int failure = act(folder.get(), name)) {
        return report(error, FileManager::errorFor(operation, failure, absolute(*relative)), false);
    }
    return true;
}

bool ConfinedRoot::writeFile(std::string_view path, std::string_view contents, std::uint32_t mode, Error* error) const {
    return actInParent(
        path, FileOperation::Create,
        [&](int folder, const std::string& name) {
            return DescriptorTree::writeFile(folder, name, contents, mode, true);
        },
        error);
}

int ConfinedRoot::openFile(std::string_view path, int flags, std::uint32_t mode, Error* error) const {
    const auto relative = relativePath(path, error);
    if (!relative)
        return -1;
    const int file = resolve(*relative, flags | O_NOFOLLOW, mode);
    if (file < 0) {
        const bool writing = (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0;
        return report(
            error,
            resolutionError(writing ? FileOperation::Create : FileOperation::Read, errno, absolute(*relative), path_),
            -1);
    }
    return file;
}

bool ConfinedRoot::copyItem(std::string_view source, std::string_view destination, bool replaceExisting,
                            Error* error) const {
    const auto from = relativePath(source, error);
    const auto to = from ? relativePath(destination, error) : std::nullopt;
    if (!to)
        return false;
    std::string sourceName;
    std::string destinationName;
    struct stat info {};
    OwnedDescriptor sourceFolder(openParent(*from, &sourceName));
    if (sourceFolder.get() < 0 || ::fstatat(sourceFolder.get(), sourceName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return report(error, resolutionError(FileOperation::Read, errno, absolute(*from), path_), false);
    }
    OwnedDescriptor destinationFolder(openParent(*to, &destinationName));
    if (destinationFolder.get() < 0) {
        return report(error, resolutionError(FileOperation::Copy, errno, absolute(*from), path_, absolute(*to)), false);
    }
    // A link lands in the copy only when it leads to an item beneath the root from where it
    // really is: the destination folder's own place, not the path that named it (which may
    // have passed through links).
    const auto landing = placeBelow(destinationFolder.get(), descriptor_);
    std::string leadingOut;
    const auto policy = [&](const std::string& target, const std::string& pathInCopy) {
        const std::string link = pathInCopy.empty() ? destinationName : destinationName + "/" + pathInCopy;
        const std::string folder = PathUtilities::stringByDeletingLastPathComponent(link);
        if (landing && staysBeneath(*landing + (folder.empty() ? "" : "/" + folder), target))
            return 0;
        leadingOut = pathInCopy.empty() ? absolute(*from) : absolute(*from) + "/" + pathInCopy;
        return EPERM;
    };
    const int failure = DescriptorTree::copyItem(sourceFolder.get(), sourceName, destinationFolder.get(),
                                                 destinationName, replaceExisting, policy);
    if (failure == 0)
        return true;
    if (!leadingOut.empty()) {
        return report(error,
                      refusal(FileOperation::Copy, leadingOut,
                              "“" + leadingOut + "” is a symbolic link that leads outside the root “" + path_ +
                                  "” and was not copied."),
                      false);
    }
    return report(error, FileManager::errorFor(FileOperation::Copy, failure, absolute(*from), absolute(*to)), false);
}

bool ConfinedRoot::moveItem(std::string_view source, std::string_view destination, Error* error) const {
    const auto from = relativePath(source, error);
    const auto to = from ? relativePath(destination, error) : std::nullopt;
    if (!to)
        return false;
    std::string sourceName;
    std::string destinationName;
    OwnedDescriptor sourceFolder(openParent(*from, &sourceName));
    OwnedDescriptor destinationFolder(sourceFolder.get() < 0 ? -1 : openParent(*to, &destinationName));
    int failure = destinationFolder.get() < 0 ? errno : 0;
    if (failure != 0) {
        return report(error, resolutionError(FileOperation::Move, failure, absolute(*from), path_, absolute(*to)),
                      false);
    }
    if (::renameat2(sourceFolder.get(), sourceName.c_str(), destinationFolder.get(), destinationName.c_str(),
                    RENAME_NOREPLACE) != 0) {
        return report(error, FileManager::errorFor(FileOperation::Move, errno, absolute(*from), absolute(*to)), false);
    }
    return true;
}

bool ConfinedRoot::removeItem(std::string_view path, Error* error) const {
    return actInParent(path, FileOperation::Remove, DescriptorTree::removeItem, error);
}

bool ConfinedRoot::setAttributes(const FileAttributeChanges& attributes, std::string_view path, Error* error) const {
    const auto relative = relativePath(path, error);
    if (!relative)
        return false;
    std::optional<std::uint32_t> owner;
    std::optional<std::uint32_t> group;
    if (const int unknown = FileStatus::accountIDs(attributes, &owner, &group)) {
        return report(error, FileManager::errorFor(FileOperation::Create, unknown, absolute(*relative)), false);
    }
    // The root itself through its own descriptor, anything else by its name in its folder,
    // never following it.
    std::string name = ".";
    OwnedDescriptor folder(relative->empty() ? ::dup(descriptor_) : openParent(*relative, &name));
    const int at = relative->empty() ? 0 : AT_SYMLINK_NOFOLLOW;
    if (folder.get() < 0) {
        return report(error, resolutionError(FileOperation::Create, errno, absolute(*relative), path_), false);
    }
    const auto uid = owner ? static_cast<uid_t>(*owner) : static_cast<uid_t>(-1);
    const auto gid = group ? static_cast<gid_t>(*group) : static_cast<gid_t>(-1);
    int failure = 0;
    if ((owner || group) && ::fchownat(folder.get(), name.c_str(), uid, gid, at) != 0)
        failure = errno;
    // After the owner, which may clear the set-id bits; a link has no permissions of its own.
    if (failure == 0 && attributes.posixPermissions &&
        ::fchmodat(folder.get(), name.c_str(), static_cast<mode_t>(*attributes.posixPermissions & 07777), at) != 0 &&
        errno != EOPNOTSUPP) {
        failure = errno;
    }
    return failure == 0
               ? true
               : report(error, FileManager::errorFor(FileOperation::Create, failure, absolute(*relative)), false);
}

}  // namespace platform
