#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Error.h"
#include "Platform/FileManager.h"

namespace platform {

// A folder that nothing done through it can leave: the root is opened once as a descriptor,
// every path is resolved beneath that descriptor, and every operation then acts on
// descriptors (*at calls on the folder that holds the item), never on a name resolved again.
//
// Paths: an absolute path must lie lexically under path() (the root as given, made absolute
// and normal, links not resolved); a relative path is taken from the root. "." and ".." are
// removed lexically first; a path that lies outside (or climbs above the root) is refused
// with an error naming it (see leadsOutside).
//
// Symbolic links: a link is followed when its target, read from the link's folder, stays
// beneath the root at every step (as "../b" from "a/link" does): links inside the root work
// as they do in a chroot. An absolute link, or one whose ".." climbs above the root, leads
// out and is refused with an error naming the path (see leadsOutside). The folders on the
// way and an item that is read (exists, contents, listing) are followed that way; an item
// that is changed is never followed: remove, rename, copy, write and attribute changes act
// on the link itself. Paths are resolved with openat2 (RESOLVE_BENEATH and
// RESOLVE_NO_MAGICLINKS); where the kernel lacks it or a filter refuses it, a walk component
// by component with O_NOFOLLOW gives the same answers.
//
// Errors are in the Cocoa domain with the wording of FileManager::errorFor and the real
// errno underneath. The object is immutable and may be used from any thread.
class ConfinedRoot {
public:
    enum class Resolution { Automatic, ComponentWalk };  // ComponentWalk: the fallback, forced

    // Null with an error when the root cannot be opened or entered: missing, not a folder, a
    // path too long, a link loop, no permission.
    static std::shared_ptr<const ConfinedRoot> open(const std::string& path, Error* error = nullptr,
                                                    Resolution resolution = Resolution::Automatic);
    ~ConfinedRoot();
    ConfinedRoot(const ConfinedRoot&) = delete;
    ConfinedRoot& operator=(const ConfinedRoot&) = delete;

    // The root as given, absolute and normal, without a trailing slash.
    const std::string& path() const { return path_; }
    // Whether the error is a refusal of a path that lies or leads outside the root: the code
    // of EPERM by the operation's side (513 or 257), EXDEV underneath.
    static bool leadsOutside(const Error& error);
    // The path below the root ("" for the root itself); null with the refusal when it lies
    // outside.
    std::optional<std::string> relativePath(std::string_view path, Error* error = nullptr) const;

    // Whether the item exists (a link that stays inside is followed; one leading out or
    // dangling does not exist).
    bool fileExists(std::string_view path, bool* isDirectory = nullptr) const;
    // The item itself (a link is not followed).
    std::optional<FileAttributes> attributesOfItem(std::string_view path, Error* error = nullptr) const;
    // The names in a folder, sorted.
    std::optional<std::vector<std::string>> contentsOfDirectory(std::string_view path, Error* error = nullptr) const;
    // As FileManager::createDirectoryAtPath, beneath the root.
    bool createDirectory(std::string_view path, bool withIntermediateDirectories,
                         const FileAttributeChanges& attributes = {}, Error* error = nullptr) const;

    // The contents of a regular file of at most maxSize bytes (see RegularFile).
    std::optional<std::string> contentsOfFile(std::string_view path, std::uint64_t maxSize,
                                              Error* error = nullptr) const;
    // Replaces the file atomically: a temporary in the same folder, written, given the mode,
    // flushed, renamed over the name, and the folder flushed. On failure the old file stays
    // as it was and no temporary remains.
    bool writeFile(std::string_view path, std::string_view contents, std::uint32_t mode = 0644,
                   Error* error = nullptr) const;
    // Opens a file beneath the root with open(2) flags (O_CREAT allowed; O_NOFOLLOW and
    // O_CLOEXEC are always added) for the caller to own and close; -1 with an error.
    int openFile(std::string_view path, int flags, std::uint32_t mode = 0644, Error* error = nullptr) const;

    // Copies a file or a folder with everything in it, both ends beneath the root; each file
    // is written as writeFile does and keeps its permissions. A folder is built under a
    // temporary name and renamed into place. A link is copied as a link only when its
    // target, read from where the copy lands, stays beneath the root; otherwise the copy fails
    // (EPERM). Without replaceExisting an existing destination is refused (516); with it the
    // destination is swapped for the finished copy, and stays as it was when the copy fails.
    bool copyItem(std::string_view source, std::string_view destination, bool replaceExisting = false,
                  Error* error = nullptr) const;
    // rename(2) of the item (not followed) within the root; an existing destination is refused.
    bool moveItem(std::string_view source, std::string_view destination, Error* error = nullptr) const;
    // Removes the item and, for a folder, everything in it, walking by descriptor; a link is
    // removed as a link. The root itself cannot be removed.
    bool removeItem(std::string_view path, Error* error = nullptr) const;
    // As FileManager::setAttributes, on the item itself: a link gets the owner and group, and
    // keeps its permissions, which Linux does not have for links.
    bool setAttributes(const FileAttributeChanges& attributes, std::string_view path, Error* error = nullptr) const;

private:
    ConfinedRoot(std::string path, int descriptor, bool walk);

    // A descriptor for the path below the root (see above), or -1 with errno (EXDEV: leads out).
    int resolve(const std::string& relative, int flags, std::uint32_t mode = 0) const;
    // The folder that holds the item, opened for reading, and the item's name in it; -1 with
    // errno, EPERM for the root itself.
    int openParent(const std::string& relative, std::string* name) const;
    // Runs act (an errno-answering descriptor operation) on the folder holding the item at path
    // and the item's name, reporting a failure to reach the folder or of act as operation's.
    bool actInParent(std::string_view path, FileOperation operation,
                     const std::function<int(int folder, const std::string& name)>& act, Error* error) const;
    std::string absolute(const std::string& relative) const;

    std::string path_;
    int descriptor_;
    bool walk_;
};

}  // namespace platform
