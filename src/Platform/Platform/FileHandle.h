#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Platform/Error.h"
#include "Platform/Exception.h"
#include "Platform/URL.h"

namespace platform {

inline constexpr const char* kFileHandleOperationException = "NSFileHandleOperationException";

// What a file handle raises when a system call fails: the name
// "NSFileHandleOperationException", the reason "<operation>: <system text>", and the POSIX
// error behind it.
class FileHandleException : public Exception {
public:
    FileHandleException(const std::string& operation, int posixError);

    int posixError() const { return posixError_; }

private:
    int posixError_;
};

// A handle on an open file (the NSFileHandle stand-in). It keeps the descriptor's own
// position: reads and writes start there and move it.
//
// The three opening functions never create or truncate a file; they answer null and an Error
// in the Cocoa domain (reading side: 260 missing, 257 no permission, 256 otherwise) when the
// file cannot be opened. Every other operation reports a failed system call by raising a
// FileHandleException, an operation on a closed handle included (EBADF), except
// fileDescriptor, which never raises. The handle is not safe for concurrent use.
class FileHandle {
public:
    static std::shared_ptr<FileHandle> fileHandleForReadingFromURL(const URL& url, Error* error = nullptr);
    static std::shared_ptr<FileHandle> fileHandleForWritingToURL(const URL& url, Error* error = nullptr);
    static std::shared_ptr<FileHandle> fileHandleForUpdatingURL(const URL& url, Error* error = nullptr);

    // Adopts a descriptor; with closeOnDealloc the handle closes it when destroyed (unless
    // closeFile did already). Nothing about the descriptor is checked here.
    FileHandle(int descriptor, bool closeOnDealloc);
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // The descriptor, or -1 after closeFile.
    int fileDescriptor() const { return descriptor_; }

    std::uint64_t offsetInFile();
    // An offset beyond what the system can address (2^63 and above) raises EINVAL.
    void seekToFileOffset(std::uint64_t offset);
    // Moves to the end of the file and answers the new position, the file's size.
    std::uint64_t seekToEndOfFile();

    // Reads from the position until length bytes came or the file ended (fewer at the end,
    // none at or beyond it). Storage grows with what arrives, so a large length costs nothing
    // by itself; null when memory for the data cannot be had.
    std::optional<std::vector<std::uint8_t>> readDataOfLength(std::size_t length);
    // Everything from the position to the end; a failure to get memory raises ENOMEM.
    std::vector<std::uint8_t> readDataToEndOfFile();
    // Writes every byte at the position, retrying short writes; a full disk or a file-size
    // limit raises (what was written before stays).
    void writeData(std::span<const std::uint8_t> data);

    // Cuts or extends (with zero bytes) the file to offset and moves the position there.
    void truncateFileAtOffset(std::uint64_t offset);
    // Flushes the file's contents to the disk.
    void synchronizeFile();
    // Closes the descriptor at once, whether or not the handle owns it; a second call does
    // nothing. The handle is closed even when the system reports a failure, which raises.
    void closeFile();

private:
    static std::shared_ptr<FileHandle> open(const URL& url, int flags, Error* error);

    int descriptor_;
    bool closeOnDealloc_;
};

}  // namespace platform
