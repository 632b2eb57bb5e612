#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Error.h"
#include "Platform/URL.h"

namespace platform {

// The kind of an item, as its attributes tell it.
enum class FileType { Regular, Directory, SymbolicLink, CharacterSpecial, BlockSpecial, Socket, FIFO, Unknown };

// What attributesOfItem answers about an item itself (a symbolic link is not followed).
struct FileAttributes {
    std::uint64_t size = 0;
    std::uint32_t posixPermissions = 0;  // the permission bits, 07777 at most
    std::uint32_t ownerAccountID = 0;
    std::optional<std::string> ownerAccountName;  // null when the id has no name
    std::uint32_t groupOwnerAccountID = 0;
    std::optional<std::string> groupOwnerAccountName;
    FileType type = FileType::Unknown;
};

// Attributes to give an item; what is null stays as it is. A name wins over an id.
struct FileAttributeChanges {
    std::optional<std::uint32_t> posixPermissions;
    std::optional<std::uint32_t> ownerAccountID;
    std::optional<std::string> ownerAccountName;
    std::optional<std::uint32_t> groupOwnerAccountID;
    std::optional<std::string> groupOwnerAccountName;
};

// The operation whose wording an error takes.
enum class FileOperation { Copy, Move, Remove, Create, Read };

// Listing options, with the platform's values.
enum DirectoryEnumerationOptions : unsigned {
    DirectoryEnumerationNone = 0,
    // Leaves out names that begin with "." and, in a recursive listing, all they hold.
    DirectoryEnumerationSkipsHiddenFiles = 4,
};

// The file manager (the NSFileManager stand-in). Stateless: every operation may run on any
// thread. Failures come back through the optional Error: the Cocoa domain, a code from the
// POSIX error by the operation's side (see errorFor), the platform's wording, and the POSIX
// error underneath.
struct FileManager {
    static bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr);

    // Makes the folder (and, with intermediates, every missing folder above it), then gives
    // the folders it made the attributes. An existing folder is success with intermediates
    // and an error (516) without.
    static bool createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                                      const FileAttributeChanges& attributes = {}, Error* error = nullptr);
    // Writes the file in place (truncating one that exists, so locks on it hold); no error is
    // reported, as on the platform.
    static bool createFileAtPath(const std::string& path, std::string_view contents,
                                 const FileAttributeChanges& attributes = {});

    // Copy and move refuse an existing destination (516) and a missing destination folder (4).
    // A folder is copied with everything in it; permissions go with the copy. The copy is
    // built under a temporary name and renamed into place, so a failed one leaves nothing
    // behind, and its error keeps the real errno (a full disk is 640).
    static bool copyItemAtPath(const std::string& source, const std::string& destination, Error* error = nullptr);
    static bool moveItemAtPath(const std::string& source, const std::string& destination, Error* error = nullptr);
    // Removes an item, a folder with everything in it.
    static bool removeItemAtPath(const std::string& path, Error* error = nullptr);

    // The names in a folder, sorted; null with an error when it cannot be read.
    static std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(
        const std::string& path, unsigned options = DirectoryEnumerationNone, Error* error = nullptr);
    // The same as file URLs in the folder (a folder's URL ends with "/").
    static std::optional<std::vector<URL>> contentsOfDirectoryAtURL(const URL& folder,
                                                                    unsigned options = DirectoryEnumerationNone,
                                                                    Error* error = nullptr);
    // Every item below a folder, at every depth, as paths relative to it: each folder's
    // entries sorted, a sub-folder's contents right after it. Symbolic links are not
    // followed; an unreadable folder is passed over. Empty when the folder cannot be read.
    static std::vector<std::string> subpathsOfDirectoryAtPath(const std::string& path,
                                                              unsigned options = DirectoryEnumerationNone);
    // The same walk as file URLs; only real folders get a folder URL (a link to a folder is
    // an item of its own).
    static std::vector<URL> enumeratorAtURL(const URL& folder, unsigned options = DirectoryEnumerationNone);

    static std::optional<FileAttributes> attributesOfItemAtPath(const std::string& path, Error* error = nullptr);
    static bool setAttributes(const FileAttributeChanges& attributes, const std::string& path, Error* error = nullptr);

    // The whole contents of a file; null when it cannot be read or is a folder.
    static std::optional<std::string> contentsAtPath(const std::string& path);

    // The path of the item an open descriptor refers to, as the system reports it (the
    // F_GETPATH stand-in); null for a bad descriptor or one that is not a file system item.
    static std::optional<std::string> pathOfDescriptor(int descriptor);

    // The error of an operation that failed with a POSIX error on path (and destination, for
    // copy and move). Codes when writing (copy, move, remove, create): ENOENT 4, EACCES and
    // EPERM 513, EEXIST 516, ENOSPC and EDQUOT 640, EROFS 642, otherwise 512 (a file-size
    // limit, EFBIG, among them); when reading: ENOENT 260, EACCES and EPERM 257, EFBIG 263
    // (too large), otherwise 256.
    static Error errorFor(FileOperation operation, int posixError, std::string_view path,
                          std::string_view destination = {});
};

}  // namespace platform
