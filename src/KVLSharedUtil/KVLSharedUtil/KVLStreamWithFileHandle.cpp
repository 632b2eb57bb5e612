#include "KVLSharedUtil/KVLStreamWithFileHandle.h"

#include <cstring>
#include <new>
#include <span>
#include <utility>

#include "KVLSharedUtil/KVLSafeZone.h"
#include "KVLSharedUtil/KVLStreamSupport.h"
#include "LoggerService/KVLLog.h"

namespace {

// This class has no separate wording for a stream without a handle.
constexpr const char* kInvalidParameters = "KVLStreamWithFileHandle - Invalid parameters";

}  // namespace

KVLStreamWithFileHandle::KVLStreamWithFileHandle() = default;

KVLStreamWithFileHandle::~KVLStreamWithFileHandle() {
    KVLSafeZone zone;
    try {
        close(nullptr);  // closing reports nothing through a record
    } catch (const platform::FileHandleException&) {
        // A failed closeFile still leaves the handle closed, and nothing may leave a destructor.
    }
    setNativeHandle(nullptr, false);
    setName(std::nullopt);
}

std::unique_ptr<KVLStreamWithFileHandle> KVLStreamWithFileHandle::initFromFileHandle(
    std::shared_ptr<platform::FileHandle> handle, const std::optional<std::string>& path, bool adopt,
    IKVLInternalError* error) {
    std::unique_ptr<KVLStreamWithFileHandle> stream(new (std::nothrow) KVLStreamWithFileHandle());
    if (stream == nullptr) {
        return nullptr;
    }
    if (handle == nullptr || !path) {
        KVLStreamSupport::fail(error, kInvalidParameters, KVLErrorCodeInvalidParameters, KVL_SOURCE_PATH, __LINE__);
        return nullptr;
    }
    stream->setName(path);
    stream->setNativeHandle(std::move(handle), adopt);
    return stream;
}

std::unique_ptr<KVLStreamWithFileHandle> KVLStreamWithFileHandle::openFromFilePath(
    const std::optional<platform::URL>& url, Opener opener, IKVLInternalError* error) {
    KVLSafeZone zone;
    std::unique_ptr<KVLStreamWithFileHandle> stream(new (std::nothrow) KVLStreamWithFileHandle());
    if (stream == nullptr) {
        return nullptr;
    }
    if (!url) {
        KVLStreamSupport::fail(error, kInvalidParameters, KVLErrorCodeInvalidParameters, KVL_SOURCE_PATH, __LINE__);
        return nullptr;
    }
    platform::Error openError;
    auto handle = opener(*url, &openError);
    if (handle == nullptr) {
        if (error != nullptr) {
            error->populateWithNSError(openError, "KVLStreamWithFileHandle - Failed to open the file.", KVL_SOURCE_PATH,
                                       __LINE__, std::nullopt);
            KVLLogInternalError(*error);
        }
        return nullptr;
    }
    stream->setName(url->path());
    stream->setNativeHandle(std::move(handle), true);
    return stream;
}

std::unique_ptr<KVLStreamWithFileHandle> KVLStreamWithFileHandle::initForReadingFromFilePath(
    const std::optional<platform::URL>& url, IKVLInternalError* error) {
    return openFromFilePath(url, &platform::FileHandle::fileHandleForReadingFromURL, error);
}

std::unique_ptr<KVLStreamWithFileHandle> KVLStreamWithFileHandle::initForWritingFromFilePath(
    const std::optional<platform::URL>& url, IKVLInternalError* error) {
    return openFromFilePath(url, &platform::FileHandle::fileHandleForWritingToURL, error);
}

std::unique_ptr<KVLStreamWithFileHandle> KVLStreamWithFileHandle::initForUpdatingFromFilePath(
    const std::optional<platform::URL>& url, IKVLInternalError* error) {
    return openFromFilePath(url, &platform::FileHandle::fileHandleForUpdatingURL, error);
}

void KVLStreamWithFileHandle::read(std::uint64_t count, std::uint64_t offset, void* bytes, std::uint64_t* bytesRead,
                                   IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) ||
        !KVLStreamSupport::given(bytes, error, kInvalidParameters, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    const std::uint64_t position = mFileHandle->offsetInFile();
    mFileHandle->seekToFileOffset(offset);
    const auto data = mFileHandle->readDataOfLength(count);
    mFileHandle->seekToFileOffset(position);
    if (!data) {
        KVLStreamSupport::fail(error, "KVLStreamWithFileHandle - Failed to read bytes from file",
                               KVLErrorCodeReadFailed, KVL_SOURCE_PATH, __LINE__);
        return;
    }
    if (bytesRead != nullptr) {
        *bytesRead = data->size();
    }
    if (!data->empty()) {
        std::memcpy(bytes, data->data(), data->size());
    }
}

void KVLStreamWithFileHandle::write(std::uint64_t count, std::uint64_t offset, const void* bytes,
                                    std::uint64_t* bytesWritten, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) ||
        !KVLStreamSupport::given(bytes, error, kInvalidParameters, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    if (!KVLStreamSupport::extendToOffset(*this, offset, error)) {  // the position moves to the offset
        return;
    }
    // A view of the caller's bytes: nothing is copied or allocated, so nothing can run out of
    // memory here.
    const std::span<const std::uint8_t> data(static_cast<const std::uint8_t*>(bytes), count);
    const std::uint64_t position = mFileHandle->offsetInFile();
    mFileHandle->seekToFileOffset(offset);
    mFileHandle->writeData(data);
    if (bytesWritten != nullptr) {
        *bytesWritten = mFileHandle->offsetInFile() - offset;
    }
    mFileHandle->seekToFileOffset(position);
}

void KVLStreamWithFileHandle::setPointerPosition(std::uint64_t position, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (isInitialized(error)) {
        mFileHandle->seekToFileOffset(position);
    }
}

void KVLStreamWithFileHandle::getPointerPosition(std::uint64_t* position, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) ||
        !KVLStreamSupport::given(position, error, kInvalidParameters, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    *position = mFileHandle->offsetInFile();
}

void KVLStreamWithFileHandle::getSize(std::uint64_t* size, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) || !KVLStreamSupport::given(size, error, kInvalidParameters, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    const std::uint64_t position = mFileHandle->offsetInFile();
    *size = mFileHandle->seekToEndOfFile();
    mFileHandle->seekToFileOffset(position);
}

void KVLStreamWithFileHandle::setSize(std::uint64_t size, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (isInitialized(error)) {
        mFileHandle->truncateFileAtOffset(size);
    }
}

std::optional<std::string> KVLStreamWithFileHandle::getName() { return mstrFilePath; }

void KVLStreamWithFileHandle::synchronizeFile(IKVLInternalError* error) {
    KVLSafeZone zone;
    if (isInitialized(error)) {
        mFileHandle->synchronizeFile();
    }
}

void KVLStreamWithFileHandle::changeSharedMode(std::uint32_t mode, IKVLInternalError* error) {
    KVLStreamSupport::fail(error, "KVLStreamWithFileHandle - Changing share mode is not supported.",
                           KVLErrorCodeShareModeNotSupported, KVL_SOURCE_PATH, __LINE__);
}

void* KVLStreamWithFileHandle::getNativeHandle() { return mFileHandle.get(); }

void KVLStreamWithFileHandle::disownNativeHandle() { mbOwner = false; }

void KVLStreamWithFileHandle::close(IKVLInternalError* error) {
    KVLSafeZone zone;
    closeNativeHandle(error);
}

void KVLStreamWithFileHandle::setName(const std::optional<std::string>& name) { mstrFilePath = name; }

void KVLStreamWithFileHandle::setNativeHandle(std::shared_ptr<platform::FileHandle> handle, bool adopt) {
    if (mFileHandle != nullptr) {
        closeNativeHandle(nullptr);
    }
    if (handle != nullptr) {
        mFileHandle = std::move(handle);
        mbOwner = adopt;
    }
}

bool KVLStreamWithFileHandle::isInitialized(IKVLInternalError* error) {
    if (mFileHandle != nullptr) {
        return true;
    }
    KVLStreamSupport::fail(error, kInvalidParameters, KVLErrorCodeUninitializedObject, KVL_SOURCE_PATH, __LINE__);
    return false;
}

void KVLStreamWithFileHandle::closeNativeHandle(IKVLInternalError* error) {
    KVLSafeZone zone;
    // The field is cleared first: the stream ends without a handle even when closing raises.
    const auto handle = std::exchange(mFileHandle, nullptr);
    const bool owner = std::exchange(mbOwner, false);
    if (handle != nullptr && owner) {
        handle->closeFile();
    }
}
