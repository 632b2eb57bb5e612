#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ErrorService/IKVLInternalError.h"

// A random-access byte stream over a file. Every operation that can fail fills the caller's
// record (and logs it at the error level) only on failure.
class IKVLStream {
public:
    virtual ~IKVLStream() = default;

    // Reads up to count bytes at offset into bytes; the out count (may be null) is smaller at
    // the end of the file and 0 beyond it, which is success.
    virtual void read(std::uint64_t count, std::uint64_t offset, void* bytes, std::uint64_t* bytesRead,
                      IKVLInternalError* error) = 0;
    // Writes count bytes at offset, first extending the file with zero bytes up to offset.
    // The record must be a success record: the write judges its own steps by it.
    virtual void write(std::uint64_t count, std::uint64_t offset, const void* bytes, std::uint64_t* bytesWritten,
                       IKVLInternalError* error) = 0;
    virtual void setPointerPosition(std::uint64_t position, IKVLInternalError* error) = 0;
    virtual void getPointerPosition(std::uint64_t* position, IKVLInternalError* error) = 0;
    virtual void getSize(std::uint64_t* size, IKVLInternalError* error) = 0;
    // Cuts or extends (reading as zero bytes) the file.
    virtual void setSize(std::uint64_t size, IKVLInternalError* error) = 0;
    // The stream's name (the file's path), or null.
    virtual std::optional<std::string> getName() = 0;
    virtual void synchronizeFile(IKVLInternalError* error) = 0;
    // Advisory lock of the whole file: mode is a flock operation (LOCK_SH, LOCK_EX, LOCK_UN,
    // optionally with LOCK_NB).
    virtual void changeSharedMode(std::uint32_t mode, IKVLInternalError* error) = 0;
    // The native handle as an untyped pointer-sized value.
    virtual void* getNativeHandle() = 0;
    // The stream will no longer close its native handle; the handle's owner closes it.
    virtual void disownNativeHandle() = 0;
    virtual void close(IKVLInternalError* error) = 0;
};
