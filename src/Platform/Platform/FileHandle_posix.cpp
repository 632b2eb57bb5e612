#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>

#include "Platform/FileHandle.h"
#include "Platform/FileManager.h"
#include "Platform/WriteAll.h"

namespace platform {

namespace {

// The first read asks for at most this much; the buffer then doubles as the data arrives.
constexpr std::size_t kFirstReadSize = 64 * 1024;

[[noreturn]] void raise(const char* operation, int posixError = errno) {
    throw FileHandleException(operation, posixError);
}

off_t checkedOffset(const char* operation, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        raise(operation, EINVAL);
    }
    return static_cast<off_t>(offset);
}

}  // namespace

std::shared_ptr<FileHandle> FileHandle::open(const URL& url, int flags, Error* error) {
    const std::string path = url.path();
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
    if (descriptor < 0) {
        if (error != nullptr) {
            *error = FileManager::errorFor(FileOperation::Read, errno, path);
        }
        return nullptr;
    }
    return std::make_shared<FileHandle>(descriptor, true);
}

std::shared_ptr<FileHandle> FileHandle::fileHandleForReadingFromURL(const URL& url, Error* error) {
    return open(url, O_RDONLY, error);
}

std::shared_ptr<FileHandle> FileHandle::fileHandleForWritingToURL(const URL& url, Error* error) {
    return open(url, O_WRONLY, error);
}

std::shared_ptr<FileHandle> FileHandle::fileHandleForUpdatingURL(const URL& url, Error* error) {
    return open(url, O_RDWR, error);
}

FileHandle::FileHandle(int descriptor, bool closeOnDealloc)
    : descriptor_(descriptor), closeOnDealloc_(closeOnDealloc) {}

FileHandle::~FileHandle() {
    if (closeOnDealloc_ && descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

std::uint64_t FileHandle::offsetInFile() {
    const off_t position = ::lseek(descriptor_, 0, SEEK_CUR);
    if (position < 0) {
        raise("offsetInFile");
    }
    return static_cast<std::uint64_t>(position);
}

void FileHandle::seekToFileOffset(std::uint64_t offset) {
    if (::lseek(descriptor_, checkedOffset("seekToFileOffset", offset), SEEK_SET) < 0) {
        raise("seekToFileOffset");
    }
}

std::uint64_t FileHandle::seekToEndOfFile() {
    const off_t end = ::lseek(descriptor_, 0, SEEK_END);
    if (end < 0) {
        raise("seekToEndOfFile");
    }
    return static_cast<std::uint64_t>(end);
}

std::optional<std::vector<std::uint8_t>> FileHandle::readDataOfLength(std::size_t length) {
    std::vector<std::uint8_t> data;
    std::size_t received = 0;
    try {
        data.resize(std::min(length, kFirstReadSize));
        while (received < length) {
            if (received == data.size()) {
                data.resize(data.size() <= length / 2 ? data.size() * 2 : length);
            }
            const ssize_t count = ::read(descriptor_, data.data() + received, data.size() - received);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                raise("readDataOfLength");
            }
            if (count == 0) {
                break;
            }
            received += static_cast<std::size_t>(count);
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    data.resize(received);
    return data;
}

void FileHandle::writeData(std::span<const std::uint8_t> data) {
    if (!writeAll(descriptor_, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()))) {
        raise("writeData", errno);
    }
}

void FileHandle::truncateFileAtOffset(std::uint64_t offset) {
    const off_t size = checkedOffset("truncateFileAtOffset", offset);
    if (::ftruncate(descriptor_, size) != 0 || ::lseek(descriptor_, size, SEEK_SET) < 0) {
        raise("truncateFileAtOffset");
    }
}

void FileHandle::synchronizeFile() {
    if (::fsync(descriptor_) != 0) {
        raise("synchronizeFile");
    }
}

void FileHandle::closeFile() {
    if (descriptor_ < 0) {
        return;
    }
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0 && errno != EINTR) {
        raise("closeFile");
    }
}

}  // namespace platform
