#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "KVLSharedUtil/IKVLStream.h"
#include "Platform/FileHandle.h"
#include "Platform/URL.h"

// The stream over the platform's file handle. A transfer moves the handle's shared position
// while it runs and puts it back afterwards (after a write that extended the file, the
// position is the write's offset; after a transfer the handle raised in, it is wherever the
// handle stopped), so neither the stream nor a handle shared with someone else may be used
// from two threads at once.
//
// The handle's own failures (seek, read, write, truncate, synchronize, close) raise a
// platform::FileHandleException that passes through the stream operation to its caller; no
// record is filled for them. Share modes are not supported.
//
// An owning stream closes the handle (closeFile) on close, re-targeting and destruction; a
// stream that does not own it only drops its reference.
class KVLStreamWithFileHandle : public IKVLStream {
public:
    // No handle, no name, not owner.
    KVLStreamWithFileHandle();
    ~KVLStreamWithFileHandle() override;
    KVLStreamWithFileHandle(const KVLStreamWithFileHandle&) = delete;
    KVLStreamWithFileHandle& operator=(const KVLStreamWithFileHandle&) = delete;

    // Takes a handle (non-null) under a name (non-null) with the given ownership.
    static std::unique_ptr<KVLStreamWithFileHandle> initFromFileHandle(std::shared_ptr<platform::FileHandle> handle,
                                                                       const std::optional<std::string>& path,
                                                                       bool adopt, IKVLInternalError* error);
    // Open an existing file, never creating or truncating it, named by the URL's path and
    // owning the handle: read-only, write-only, or for reading and writing.
    static std::unique_ptr<KVLStreamWithFileHandle> initForReadingFromFilePath(const std::optional<platform::URL>& url,
                                                                               IKVLInternalError* error);
    static std::unique_ptr<KVLStreamWithFileHandle> initForWritingFromFilePath(const std::optional<platform::URL>& url,
                                                                               IKVLInternalError* error);
    static std::unique_ptr<KVLStreamWithFileHandle> initForUpdatingFromFilePath(const std::optional<platform::URL>& url,
                                                                                IKVLInternalError* error);

    void read(std::uint64_t count, std::uint64_t offset, void* bytes, std::uint64_t* bytesRead,
              IKVLInternalError* error) override;
    void write(std::uint64_t count, std::uint64_t offset, const void* bytes, std::uint64_t* bytesWritten,
               IKVLInternalError* error) override;
    void setPointerPosition(std::uint64_t position, IKVLInternalError* error) override;
    void getPointerPosition(std::uint64_t* position, IKVLInternalError* error) override;
    void getSize(std::uint64_t* size, IKVLInternalError* error) override;
    // Leaves the position at the new size.
    void setSize(std::uint64_t size, IKVLInternalError* error) override;
    std::optional<std::string> getName() override;
    void synchronizeFile(IKVLInternalError* error) override;
    // Always fails: no lock is taken, whatever the mode and whether or not a handle is held.
    void changeSharedMode(std::uint32_t mode, IKVLInternalError* error) override;
    // The platform::FileHandle itself, or null.
    void* getNativeHandle() override;
    void disownNativeHandle() override;
    void close(IKVLInternalError* error) override;

    void setName(const std::optional<std::string>& name);
    // Closes the held handle first; a null handle leaves the stream without one.
    void setNativeHandle(std::shared_ptr<platform::FileHandle> handle, bool adopt);
    // Whether the stream holds a handle; when not, fills the record.
    bool isInitialized(IKVLInternalError* error);
    // Writes nothing to the record.
    void closeNativeHandle(IKVLInternalError* error);

private:
    using Opener = std::shared_ptr<platform::FileHandle> (*)(const platform::URL&, platform::Error*);
    static std::unique_ptr<KVLStreamWithFileHandle> openFromFilePath(const std::optional<platform::URL>& url,
                                                                     Opener opener, IKVLInternalError* error);

    std::shared_ptr<platform::FileHandle> mFileHandle;
    std::optional<std::string> mstrFilePath;
    bool mbOwner = false;
};
