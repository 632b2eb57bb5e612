#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Error.h"

namespace platform {

// Bounded reading of a regular file. The item is opened as a location only (O_PATH) and
// checked with fstat before it is opened for reading: a folder, a FIFO, a device or a socket
// is refused with an error naming the path and the kind (code 256), so no read ever waits on
// a FIFO or runs through an endless device, and no device is ever opened. A file of more than
// maxSize bytes is refused with 263 ("too large", EFBIG underneath), also when it grows while
// being read. Other failures keep their real errno (FileManager::errorFor, reading side).
struct RegularFile {
    static std::optional<std::string> read(const std::string& path, std::uint64_t maxSize, Error* error = nullptr);
    // The same from a descriptor the caller opened (and still owns), for reading from its
    // position or with O_PATH (then from the start); path only names the file in errors.
    static std::optional<std::string> readDescriptor(int descriptor, std::string_view path, std::uint64_t maxSize,
                                                     Error* error = nullptr);
    // Whether an open descriptor is a regular file; false with the error naming path and the
    // kind (256) when it is not, or with fstat's error.
    static bool checkDescriptor(int descriptor, std::string_view path, Error* error = nullptr);
    // The flags to open a file with for readDescriptor.
    static int openFlags();
};

}  // namespace platform
