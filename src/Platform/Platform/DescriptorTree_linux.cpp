#include "Platform/DescriptorTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>  // renameat2
#include <fstream>
#include <random>
#include <string>
#include <utility>

#include "Platform/OwnedDescriptor.h"
#include "Platform/WriteAll.h"

namespace platform {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Temporaries are named ".<name>.<pid>-<random>.tmp", the name cut short enough for the
// longest name the file system takes; the pid tells whether the writer is still alive.
std::string temporaryPrefix(const std::string& name) { return "." + name.substr(0, 200) + "."; }

std::string temporaryName(const std::string& name) {
    static thread_local std::mt19937 generator{std::random_device{}()};
    return temporaryPrefix(name) + std::to_string(::getpid()) + "-" + std::to_string(generator() % 1000000000u) +
           ".tmp";
}

// Makes an item under a fresh temporary name beside name with make (0 or an errno); the name,
// or empty with errno set.
std::string makeTemporary(const std::string& name, const std::function<int(const std::string&)>& make) {
    for (;;) {
        std::string temporary = temporaryName(name);
        const int failure = make(temporary);
        if (failure == 0)
            return temporary;
        if (failure != EEXIST) {
            errno = failure;
            return {};
        }
    }
}

// Removes the item and all a folder holds, as DescriptorTree::removeItem does.
int removeTree(int folder, const std::string& name) {
    if (::unlinkat(folder, name.c_str(), 0) == 0)
        return 0;
    if (errno != EISDIR && errno != EPERM)
        return errno;
    OwnedDescriptor inner(::openat(folder, name.c_str(), kFolderFlags));
    if (inner.get() < 0) {
        // Swapped for a file or a link since: that is removed as it is.
        return errno == ENOTDIR || errno == ELOOP ? (::unlinkat(folder, name.c_str(), 0) == 0 ? 0 : errno) : errno;
    }
    const auto entries = DescriptorTree::names(inner.get());
    if (!entries)
        return errno;
    for (const std::string& entry : *entries) {
        if (const int failure = removeTree(inner.get(), entry))
            return failure;
    }
    return ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

// Removes the temporaries beside name whose writers died before renaming them (a kill, a
// crash). A writer in another pid namespace may look dead: its write then fails, whole.
void removeAbandonedTemporaries(int folder, const std::string& name) {
    const std::string prefix = temporaryPrefix(name);
    const auto entries = DescriptorTree::names(folder);
    for (const std::string& entry : entries.value_or(std::vector<std::string>())) {
        if (entry.size() <= prefix.size() + 4 || entry.compare(0, prefix.size(), prefix) != 0 ||
            !entry.ends_with(".tmp")) {
            continue;
        }
        pid_t writer = 0;
        const char* digits = entry.data() + prefix.size();
        const auto [end, parsed] = std::from_chars(digits, entry.data() + entry.size(), writer);
        if (parsed == std::errc() && *end == '-' && writer > 0 && ::kill(writer, 0) != 0 && errno == ESRCH) {
            removeTree(folder, entry);
        }
    }
}

// How a finished item takes its name: only where nothing is (EEXIST otherwise), over what is
// there by rename(2), or over anything: where rename cannot take the place (a folder, or a
// file where a folder is), swapped with the item there, which is then removed.
enum class Placement { New, Rename, Swap };

int renameInFolder(int folder, const std::string& from, const std::string& to, Placement placement) {
    if (placement == Placement::New) {
        return ::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    }
    if (::renameat(folder, from.c_str(), folder, to.c_str()) == 0)
        return 0;
    const bool renameCannotReplace = errno == EISDIR || errno == ENOTDIR || errno == ENOTEMPTY || errno == EEXIST;
    if (placement == Placement::Rename || !renameCannotReplace)
        return errno;
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_EXCHANGE) != 0)
        return errno;
    removeTree(folder, from);
    return 0;
}

// The folder's own flush; what it could not flush is already named, so a file system that
// cannot flush folders (EINVAL) is no failure.
int flushFolder(int folder) { return ::fsync(folder) == 0 || errno == EINVAL ? 0 : errno; }

// Writes a new file under a temporary name with fill, then renames it into place.
int writeAtomically(int folder, const std::string& name, mode_t mode, Placement placement,
                    const std::function<int(int)>& fill) {
    if (placement != Placement::New)
        removeAbandonedTemporaries(folder, name);
    int descriptor = -1;
    const std::string temporary = makeTemporary(name, [&](const std::string& candidate) {
        descriptor = ::openat(folder, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        return descriptor < 0 ? errno : 0;
    });
    if (temporary.empty()) {
        return errno;
    }
    OwnedDescriptor file(descriptor);
    int failure = fill(file.get());
    if (failure == 0 && ::fchmod(file.get(), mode & 07777) != 0)
        failure = errno;
    if (failure == 0 && ::fsync(file.get()) != 0)
        failure = errno;
    if (const int closed = file.close(); failure == 0)
        failure = closed;
    if (failure == 0)
        failure = renameInFolder(folder, temporary, name, placement);
    if (failure != 0) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return failure;
    }
    return flushFolder(folder);
}

int copyBytes(int source, int destination) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        if (!writeAll(destination, std::string_view(buffer, static_cast<std::size_t>(got))))
            return errno;
    }
}

// The folders a copy is building, so that copying a folder into itself leaves them out.
using Building = std::vector<std::pair<dev_t, ino_t>>;

int copyInto(int sourceFolder, const std::string& sourceName, int destinationFolder, const std::string& destinationName,
             Placement placement, const std::string& pathInCopy, const DescriptorTree::LinkPolicy& linkPolicy,
             Building& building);

// Copies a folder's entries into an empty folder.
int copyEntries(int source, int destination, const std::string& pathInCopy,
                const DescriptorTree::LinkPolicy& linkPolicy, Building& building) {
    const auto entries = DescriptorTree::names(source);
    if (!entries)
        return errno;
    for (const std::string& entry : *entries) {
        const std::string inner = pathInCopy.empty() ? entry : pathInCopy + "/" + entry;
        const int failure = copyInto(source, entry, destination, entry, Placement::New, inner, linkPolicy, building);
        if (failure != 0)
            return failure;
    }
    return 0;
}

int copyFolder(int sourceFolder, const std::string& sourceName, const struct stat& info, int destinationFolder,
               const std::string& destinationName, Placement placement, const std::string& pathInCopy,
               const DescriptorTree::LinkPolicy& linkPolicy, Building& building) {
    OwnedDescriptor source(::openat(sourceFolder, sourceName.c_str(), kFolderFlags));
    if (source.get() < 0)
        return errno;
    if (placement != Placement::New)
        removeAbandonedTemporaries(destinationFolder, destinationName);
    const std::string temporary = makeTemporary(destinationName, [&](const std::string& candidate) {
        return ::mkdirat(destinationFolder, candidate.c_str(), 0700) == 0 ? 0 : errno;
    });
    if (temporary.empty())
        return errno;
    int failure = 0;
    {
        OwnedDescriptor copy(::openat(destinationFolder, temporary.c_str(), kFolderFlags));
        struct stat built {};
        failure = copy.get() < 0 || ::fstat(copy.get(), &built) != 0 ? errno : 0;
        if (failure == 0) {
            building.emplace_back(built.st_dev, built.st_ino);
            failure = copyEntries(source.get(), copy.get(), pathInCopy, linkPolicy, building);
        }
        if (failure == 0 && ::fchmod(copy.get(), info.st_mode & 07777) != 0)
            failure = errno;
        if (failure == 0)
            failure = flushFolder(copy.get());
    }
    if (failure == 0)
        failure = renameInFolder(destinationFolder, temporary, destinationName, placement);
    if (failure != 0) {
        removeTree(destinationFolder, temporary);
        return failure;
    }
    return flushFolder(destinationFolder);
}

int copyInto(int sourceFolder, const std::string& sourceName, int destinationFolder, const std::string& destinationName,
             Placement placement, const std::string& pathInCopy, const DescriptorTree::LinkPolicy& linkPolicy,
             Building& building) {
    struct stat info {};
    if (::fstatat(sourceFolder, sourceName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (S_ISDIR(info.st_mode)) {
        if (std::find(building.begin(), building.end(), std::make_pair(info.st_dev, info.st_ino)) != building.end()) {
            return 0;
        }
        return copyFolder(sourceFolder, sourceName, info, destinationFolder, destinationName, placement, pathInCopy,
                          linkPolicy, building);
    }
    if (S_ISLNK(info.st_mode)) {
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlinkat(sourceFolder, sourceName.c_str(), target.data(), target.size());
        if (length < 0)
            return errno;
        target.resize(static_cast<std::size_t>(length));
        if (const int refused = linkPolicy(target, pathInCopy))
            return refused;
        const std::string temporary = makeTemporary(destinationName, [&](const std::string& candidate) {
            return ::symlinkat(target.c_str(), destinationFolder, candidate.c_str()) == 0 ? 0 : errno;
        });
        if (temporary.empty())
            return errno;
        const int failure = renameInFolder(destinationFolder, temporary, destinationName, placement);
        if (failure != 0)
            ::unlinkat(destinationFolder, temporary.c_str(), 0);
        return failure;
    }
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    const int readOnly = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    OwnedDescriptor source(::openat(sourceFolder, sourceName.c_str(), readOnly));
    if (source.get() < 0)
        return errno;
    if (::fstat(source.get(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EINVAL;
    return writeAtomically(destinationFolder, destinationName, info.st_mode, placement,
                           [&](int destination) { return copyBytes(source.get(), destination); });
}

}  // namespace

int DescriptorTree::writeFile(int folder, const std::string& name, std::string_view contents, mode_t mode,
                              bool replace) {
    return writeAtomically(folder, name, mode, replace ? Placement::Rename : Placement::New,
                           [contents](int file) { return writeAll(file, contents) ? 0 : errno; });
}

int DescriptorTree::writeFileAtPath(const std::string& path, std::string_view contents, mode_t mode) {
    const std::size_t slash = path.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const OwnedDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return errno;
    return writeFile(folder.get(), path.substr(slash + 1), contents, mode, true);
}

mode_t DescriptorTree::newFileMode() {
    // The kernel reports the umask in /proc/self/status ("Umask:\t0022"); setting it to read
    // it back would race with other threads creating files.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(0666 & ~std::stoul(line.substr(6), nullptr, 8));
        }
    }
    return 0644;
}

int DescriptorTree::copyItem(int sourceFolder, const std::string& sourceName, int destinationFolder,
                             const std::string& destinationName, bool replace, const LinkPolicy& linkPolicy) {
    Building building;
    return copyInto(sourceFolder, sourceName, destinationFolder, destinationName,
                    replace ? Placement::Swap : Placement::New, "", linkPolicy, building);
}

int DescriptorTree::removeItem(int folder, const std::string& name) {
    const int failure = removeTree(folder, name);
    removeAbandonedTemporaries(folder, name);
    return failure;
}

std::optional<std::vector<std::string>> DescriptorTree::names(int folder) {
    const int copy = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = copy < 0 ? nullptr : ::fdopendir(copy);
    if (listing == nullptr) {
        if (copy >= 0)
            ::close(copy);
        return std::nullopt;
    }
    std::vector<std::string> entries;
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back(name);
    }
    const int failure = errno;
    ::closedir(listing);
    if (failure != 0) {
        errno = failure;
        return std::nullopt;
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace platform
