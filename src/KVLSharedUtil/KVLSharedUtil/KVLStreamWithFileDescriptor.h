#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "KVLSharedUtil/IKVLStream.h"
#include "Platform/URL.h"

// The stream over a POSIX file descriptor: one pread or pwrite per transfer, at an explicit
// offset, so transfers never move the descriptor's position. No buffering, no retry: short
// transfers reach the caller as they come. One thread at a time.
//
// The stream closes the descriptor on close, re-targeting and destruction only when it owns
// it (adopted, or opened from a path, and not disowned since). Its name survives close.
class KVLStreamWithFileDescriptor : public IKVLStream {
public:
    // An empty stream: every operation that needs a descriptor reports an uninitialized object.
    KVLStreamWithFileDescriptor();
    ~KVLStreamWithFileDescriptor() override;
    KVLStreamWithFileDescriptor(const KVLStreamWithFileDescriptor&) = delete;
    KVLStreamWithFileDescriptor& operator=(const KVLStreamWithFileDescriptor&) = delete;

    // Takes a descriptor (≥ 0) under a name (non-null) with the given ownership; nothing else
    // about the descriptor is examined.
    static std::unique_ptr<KVLStreamWithFileDescriptor> initFromFileDescriptor(int descriptor,
                                                                               const std::optional<std::string>& path,
                                                                               bool adopt, IKVLInternalError* error);
    // The three path initializers own what they open and are named by the URL's path. The
    // record must be a success record: they judge the opening by it.
    // Opens an existing file: flags holding O_CREAT or O_TRUNC are refused before anything is
    // opened.
    static std::unique_ptr<KVLStreamWithFileDescriptor> initAndOpenFromFilePath(const std::optional<platform::URL>& url,
                                                                                int flags, IKVLInternalError* error);
    // Opens with O_CREAT and mode: a missing file is created, a present one opened unchanged.
    static std::unique_ptr<KVLStreamWithFileDescriptor> initAndCreateAtFilePath(const std::optional<platform::URL>& url,
                                                                                int flags, std::uint16_t mode,
                                                                                IKVLInternalError* error);
    // Opens with O_TRUNC: the file is cut to length 0 (the flags must give write access).
    static std::unique_ptr<KVLStreamWithFileDescriptor> initAndTruncateFromFilePath(
        const std::optional<platform::URL>& url, int flags, IKVLInternalError* error);

    void read(std::uint64_t count, std::uint64_t offset, void* bytes, std::uint64_t* bytesRead,
              IKVLInternalError* error) override;
    void write(std::uint64_t count, std::uint64_t offset, const void* bytes, std::uint64_t* bytesWritten,
               IKVLInternalError* error) override;
    void setPointerPosition(std::uint64_t position, IKVLInternalError* error) override;
    void getPointerPosition(std::uint64_t* position, IKVLInternalError* error) override;
    void getSize(std::uint64_t* size, IKVLInternalError* error) override;
    // The position does not move.
    void setSize(std::uint64_t size, IKVLInternalError* error) override;
    std::optional<std::string> getName() override;
    void synchronizeFile(IKVLInternalError* error) override;
    // flock with the mode as it is; without LOCK_NB it waits for the lock.
    void changeSharedMode(std::uint32_t mode, IKVLInternalError* error) override;
    // The descriptor sign-extended (-1 when there is none).
    void* getNativeHandle() override;
    void disownNativeHandle() override;
    // Closes an owned descriptor; a stream without one reports nothing.
    void close(IKVLInternalError* error) override;

    void setName(const std::optional<std::string>& name);
    // Closes the held descriptor first; a negative descriptor leaves the stream empty.
    void setFileDescriptor(int descriptor, bool adopt);
    // Empties the stream (closing an owned descriptor), then opens the URL's file and owns it.
    void prepareFromFilePath(const std::optional<platform::URL>& url, int flags, std::uint16_t mode,
                             IKVLInternalError* error);
    // open(2) of the URL's path; the descriptor, or -1 with the record filled.
    int createNativeHandleFromFileURL(const platform::URL& url, int flags, std::uint16_t mode,
                                      IKVLInternalError* error);
    // Whether the stream has a descriptor; when not, fills the record.
    bool isInitialized(IKVLInternalError* error);
    void closeNativeHandle(IKVLInternalError* error);

private:
    static std::unique_ptr<KVLStreamWithFileDescriptor> openFromFilePath(const std::optional<platform::URL>& url,
                                                                         int flags, std::uint16_t mode,
                                                                         IKVLInternalError* error);

    int mFD = -1;
    std::optional<std::string> mstrFilePath;
    bool mbOwner = false;  // never true while mFD is -1
};
