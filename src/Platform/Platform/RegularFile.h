#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Error.h"

namespace platform {

// Bounded reading of a regular file. The file is opened without blocking and without
// becoming the controlling terminal, then checked with fstat before a byte is read: a
// folder, a FIFO, a device or a socket is refused with an error naming the path and the kind
// (code 256, or 257/260 as errorFor gives them), so no read ever waits on a FIFO or runs
// through an endless device. A file of more than maxSize bytes is refused with 263 ("too
// large", EFBIG underneath), also when it grows while being read. A failed read keeps its
// real errno (FileManager::errorFor, reading side).
struct RegularFile {
    static std::optional<std::string> read(const std::string& path, std::uint64_t maxSize, Error* error = nullptr);
    // The same from a descriptor the caller opened for reading (and still owns); path only
    // names the file in errors. Reading starts at the descriptor's position.
    static std::optional<std::string> readDescriptor(int descriptor, std::string_view path, std::uint64_t maxSize,
                                                     Error* error = nullptr);
    // Flags for opening a file that will be given to readDescriptor.
    static int openFlags();
};

}  // namespace platform
