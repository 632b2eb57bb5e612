#include "KVLSharedUtil/KVLStreamWithFileDescriptor.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

#include "ErrorService/KVLCreateInternalError.h"
#include "KVLSharedUtil/KVLSafeZone.h"
#include "KVLSharedUtil/KVLStreamSupport.h"
#include "LoggerService/KVLLog.h"

namespace {

constexpr const char* kInvalidParameters = "KVLStreamWithFileDescriptor - Invalid parameters";
// The position query words its refusal of a null argument in its own way.
constexpr const char* kInvalidPositionParameter = "Stream with file decriptor - Invalid parameters";

void failWithErrno(IKVLInternalError* error, int errnum, const char* message, std::int64_t line) {
    if (error != nullptr) {
        error->populateWithErrorno(errnum, message, KVL_SOURCE_PATH, line, std::nullopt);
        KVLLogInternalError(*error);
    }
}

}  // namespace

KVLStreamWithFileDescriptor::KVLStreamWithFileDescriptor() = default;

KVLStreamWithFileDescriptor::~KVLStreamWithFileDescriptor() {
    KVLSafeZone zone;
    // Nobody reads this record, but a failed close is still logged through it.
    const auto throwaway = KVLCreateInternalError();
    close(throwaway.get());
    setFileDescriptor(-1, false);
    setName(std::nullopt);
}

std::unique_ptr<KVLStreamWithFileDescriptor> KVLStreamWithFileDescriptor::initFromFileDescriptor(
    int descriptor, const std::optional<std::string>& path, bool adopt, IKVLInternalError* error) {
    std::unique_ptr<KVLStreamWithFileDescriptor> stream(new (std::nothrow) KVLStreamWithFileDescriptor());
    if (stream == nullptr) {
        KVLStreamSupport::fail(error, "KVLStreamWithFileDescriptor - Unexpected error.", KVLErrorCodeUnexpected,
                               KVL_SOURCE_PATH, __LINE__);
        return nullptr;
    }
    if (descriptor < 0 || !path) {
        KVLStreamSupport::fail(error, kInvalidParameters, KVLErrorCodeInvalidParameters, KVL_SOURCE_PATH, __LINE__);
        return nullptr;
    }
    stream->setName(path);
    stream->setFileDescriptor(descriptor, adopt);
    return stream;
}

std::unique_ptr<KVLStreamWithFileDescriptor> KVLStreamWithFileDescriptor::openFromFilePath(
    const std::optional<platform::URL>& url, int flags, std::uint16_t mode, IKVLInternalError* error) {
    KVLSafeZone zone;
    std::unique_ptr<KVLStreamWithFileDescriptor> stream(new (std::nothrow) KVLStreamWithFileDescriptor());
    if (stream == nullptr) {
        KVLStreamSupport::fail(error, "KVLStreamWithFileDescriptor - Unexpected error.", KVLErrorCodeUnexpected,
                               KVL_SOURCE_PATH, __LINE__);
        return nullptr;
    }
    stream->prepareFromFilePath(url, flags, mode, error);
    // A record that already held a failure fails the initializer too; destroying the stream
    // closes what was opened.
    if (!KVLStreamSupport::succeeded(error) || stream->mFD < 0) {
        return nullptr;
    }
    return stream;
}

std::unique_ptr<KVLStreamWithFileDescriptor> KVLStreamWithFileDescriptor::initAndOpenFromFilePath(
    const std::optional<platform::URL>& url, int flags, IKVLInternalError* error) {
    if ((flags & (O_CREAT | O_TRUNC)) != 0) {
        KVLStreamSupport::fail(error, kInvalidParameters, KVLErrorCodeInvalidParameters, KVL_SOURCE_PATH, __LINE__);
        return nullptr;
    }
    return openFromFilePath(url, flags, 0, error);
}

std::unique_ptr<KVLStreamWithFileDescriptor> KVLStreamWithFileDescriptor::initAndCreateAtFilePath(
    const std::optional<platform::URL>& url, int flags, std::uint16_t mode, IKVLInternalError* error) {
    return openFromFilePath(url, flags | O_CREAT, mode, error);
}

std::unique_ptr<KVLStreamWithFileDescriptor> KVLStreamWithFileDescriptor::initAndTruncateFromFilePath(
    const std::optional<platform::URL>& url, int flags, IKVLInternalError* error) {
    return openFromFilePath(url, flags | O_TRUNC, 0, error);
}

void KVLStreamWithFileDescriptor::read(std::uint64_t count, std::uint64_t offset, void* bytes, std::uint64_t* bytesRead,
                                       IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) ||
        !KVLStreamSupport::given(bytes, error, kInvalidParameters, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    // An offset of 2^63 or more turns negative and the system refuses it (EINVAL).
    const ssize_t result = ::pread(mFD, bytes, count, static_cast<off_t>(offset));
    if (result < 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to read bytes", __LINE__);
        return;
    }
    if (bytesRead != nullptr) {
        *bytesRead = static_cast<std::uint64_t>(result);
    }
}

void KVLStreamWithFileDescriptor::write(std::uint64_t count, std::uint64_t offset, const void* bytes,
                                        std::uint64_t* bytesWritten, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) ||
        !KVLStreamSupport::given(bytes, error, kInvalidParameters, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    if (!KVLStreamSupport::extendToOffset(*this, offset, error)) {
        return;
    }
    const ssize_t result = ::pwrite(mFD, bytes, count, static_cast<off_t>(offset));
    if (result < 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to write bytes", __LINE__);
        return;
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = static_cast<std::uint64_t>(result);
    }
}

void KVLStreamWithFileDescriptor::setPointerPosition(std::uint64_t position, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error)) {
        return;
    }
    if (::lseek(mFD, static_cast<off_t>(position), SEEK_SET) < 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to set file pointer position", __LINE__);
    }
}

void KVLStreamWithFileDescriptor::getPointerPosition(std::uint64_t* position, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) ||
        !KVLStreamSupport::given(position, error, kInvalidPositionParameter, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    const off_t current = ::lseek(mFD, 0, SEEK_CUR);
    if (current < 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to get file pointer position", __LINE__);
        return;
    }
    *position = static_cast<std::uint64_t>(current);
}

void KVLStreamWithFileDescriptor::getSize(std::uint64_t* size, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error) || !KVLStreamSupport::given(size, error, kInvalidParameters, KVL_SOURCE_PATH, __LINE__)) {
        return;
    }
    struct stat info {};
    if (::fstat(mFD, &info) != 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to get size", __LINE__);
        return;
    }
    *size = static_cast<std::uint64_t>(info.st_size);
}

void KVLStreamWithFileDescriptor::setSize(std::uint64_t size, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error)) {
        return;
    }
    if (::ftruncate(mFD, static_cast<off_t>(size)) != 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to truncate or extend file", __LINE__);
    }
}

std::optional<std::string> KVLStreamWithFileDescriptor::getName() { return mstrFilePath; }

void KVLStreamWithFileDescriptor::synchronizeFile(IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error)) {
        return;
    }
    if (::fsync(mFD) != 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to synchronize file content", __LINE__);
    }
}

void KVLStreamWithFileDescriptor::changeSharedMode(std::uint32_t mode, IKVLInternalError* error) {
    KVLSafeZone zone;
    if (!isInitialized(error)) {
        return;
    }
    if (::flock(mFD, static_cast<int>(mode)) != 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to change share mode", __LINE__);
    }
}

void* KVLStreamWithFileDescriptor::getNativeHandle() {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(mFD));
}

void KVLStreamWithFileDescriptor::disownNativeHandle() { mbOwner = false; }

void KVLStreamWithFileDescriptor::close(IKVLInternalError* error) {
    KVLSafeZone zone;
    closeNativeHandle(error);
}

void KVLStreamWithFileDescriptor::setName(const std::optional<std::string>& name) { mstrFilePath = name; }

void KVLStreamWithFileDescriptor::setFileDescriptor(int descriptor, bool adopt) {
    if (mFD >= 0) {
        const auto throwaway = KVLCreateInternalError();
        closeNativeHandle(throwaway.get());
    }
    if (descriptor >= 0) {
        mFD = descriptor;
        mbOwner = adopt;
    }
}

void KVLStreamWithFileDescriptor::prepareFromFilePath(const std::optional<platform::URL>& url, int flags,
                                                      std::uint16_t mode, IKVLInternalError* error) {
    KVLSafeZone zone;
    setFileDescriptor(-1, false);
    setName(std::nullopt);
    if (!url) {
        KVLStreamSupport::fail(error, kInvalidParameters, KVLErrorCodeInvalidParameters, KVL_SOURCE_PATH, __LINE__);
        return;
    }
    const int descriptor = createNativeHandleFromFileURL(*url, flags, mode, error);
    if (descriptor >= 0) {
        setName(url->path());
        setFileDescriptor(descriptor, true);
    }
}

int KVLStreamWithFileDescriptor::createNativeHandleFromFileURL(const platform::URL& url, int flags, std::uint16_t mode,
                                                               IKVLInternalError* error) {
    KVLSafeZone zone;
    const int descriptor = ::open(url.path().c_str(), flags, static_cast<mode_t>(mode));
    if (descriptor < 0) {
        failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to open or create the file.", __LINE__);
    }
    return descriptor;
}

bool KVLStreamWithFileDescriptor::isInitialized(IKVLInternalError* error) {
    if (mFD >= 0) {
        return true;
    }
    KVLStreamSupport::fail(error, "KVLStreamWithFileDescriptor - Uninitialized object", KVLErrorCodeUninitializedObject,
                           KVL_SOURCE_PATH, __LINE__);
    return false;
}

void KVLStreamWithFileDescriptor::closeNativeHandle(IKVLInternalError* error) {
    KVLSafeZone zone;
    if (mFD == -1) {
        mbOwner = false;
        return;
    }
    const int descriptor = mFD;
    mFD = -1;
    if (mbOwner) {
        mbOwner = false;
        if (::close(descriptor) != 0) {
            failWithErrno(error, errno, "KVLStreamWithFileDescriptor - Failed to close the file.", __LINE__);
        }
    }
}
