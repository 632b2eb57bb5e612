#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "KVLSharedUtil/KVLStreamWithFileDescriptor.h"
#include "KVLSharedUtil/KVLStreamWithFileHandle.h"
#include "LoggedServicesTest.h"

namespace kvltest {

constexpr std::int32_t kInternal = KVLInternalErrorTypeInternal;

// How each stream kind is opened, adopts a native handle and names its failures.
struct DescriptorStream {
    using Stream = KVLStreamWithFileDescriptor;
    using Native = int;
    static constexpr const char* kFile = "src/KVLSharedUtil/KVLSharedUtil/KVLStreamWithFileDescriptor";
    static constexpr const char* kInvalid = "KVLStreamWithFileDescriptor - Invalid parameters";
    static constexpr const char* kInvalidPosition = "Stream with file decriptor - Invalid parameters";
    static constexpr const char* kUninitialized = "KVLStreamWithFileDescriptor - Uninitialized object";
    static constexpr bool kResizeMovesPosition = false;
    static std::unique_ptr<Stream> open(const platform::URL& url, IKVLInternalError* record) {
        return Stream::initAndOpenFromFilePath(url, O_RDWR, record);
    }
    static Native openNative(const std::string& path) { return ::open(path.c_str(), O_RDONLY); }
    static bool isOpen(Native native) { return ::fcntl(native, F_GETFD) != -1; }
    static void* handle(Native native) { return reinterpret_cast<void*>(std::intptr_t{native}); }
    static Native none() { return -1; }
    static std::unique_ptr<Stream> adopt(Native native, const std::optional<std::string>& name, bool owner,
                                         IKVLInternalError* record) {
        return Stream::initFromFileDescriptor(native, name, owner, record);
    }
    static void retarget(Stream& stream, Native native, bool owner) { stream.setFileDescriptor(native, owner); }
};

struct HandleStream {
    using Stream = KVLStreamWithFileHandle;
    using Native = std::shared_ptr<platform::FileHandle>;
    static constexpr const char* kFile = "src/KVLSharedUtil/KVLSharedUtil/KVLStreamWithFileHandle";
    static constexpr const char* kInvalid = "KVLStreamWithFileHandle - Invalid parameters";
    static constexpr const char* kInvalidPosition = kInvalid;
    static constexpr const char* kUninitialized = kInvalid;
    static constexpr bool kResizeMovesPosition = true;
    static std::unique_ptr<Stream> open(const platform::URL& url, IKVLInternalError* record) {
        return Stream::initForUpdatingFromFilePath(url, record);
    }
    static Native openNative(const std::string& path) {
        return platform::FileHandle::fileHandleForReadingFromURL(platform::URL::fileURLWithPath(path));
    }
    static bool isOpen(const Native& native) { return native->fileDescriptor() >= 0; }
    static void* handle(const Native& native) { return native.get(); }
    static Native none() { return nullptr; }
    static std::unique_ptr<Stream> adopt(const Native& native, const std::optional<std::string>& name, bool owner,
                                         IKVLInternalError* record) {
        return Stream::initFromFileHandle(native, name, owner, record);
    }
    static void retarget(Stream& stream, const Native& native, bool owner) { stream.setNativeHandle(native, owner); }
};

// A temporary root with logged services, and streams of one kind on its files.
template <typename Kind>
class KVLStreamTest : public kvltest::LoggedServicesTest {
protected:
    platform::URL url(const char* name) const { return platform::URL::fileURLWithPath(path(name)); }
    // A stream that owns its native handle on a file holding contents, open for update.
    std::unique_ptr<typename Kind::Stream> streamOn(const std::string& contents) {
        writeFile("data", contents);
        auto stream = Kind::open(url("data"), record.get());
        EXPECT_NE(stream, nullptr);
        return stream;
    }
    std::uint64_t position(IKVLStream& stream) {
        std::uint64_t value = 0;
        stream.getPointerPosition(&value, record.get());
        return value;
    }
    std::uint64_t size(IKVLStream& stream) {
        std::uint64_t value = 0;
        stream.getSize(&value, record.get());
        return value;
    }
    void expectFailure(std::int64_t code, std::int32_t type, const std::string& message) {
        LoggedServicesTest::expectFailure(code, type, message, Kind::kFile);
    }
};

}  // namespace kvltest
