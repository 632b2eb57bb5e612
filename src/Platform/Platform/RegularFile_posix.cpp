#include "Platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/FileManager.h"
#include "Platform/OwnedDescriptor.h"

namespace platform {

namespace {

// The kind of a file that is not regular, as its error names it; null for a regular one.
const char* irregularKind(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (!S_ISREG(mode))
        return "not a plain file";
    return nullptr;
}

std::optional<std::string> fail(Error* error, Error failure) {
    if (error != nullptr) {
        *error = std::move(failure);
    }
    return std::nullopt;
}

// Reads to the end, refusing more than maxSize bytes.
std::optional<std::string> readBounded(int descriptor, std::string_view path, std::uint64_t maxSize, Error* error) {
    std::string contents;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return fail(error, FileManager::errorFor(FileOperation::Read, errno, path));
        }
        if (got == 0) {
            return contents;
        }
        if (contents.size() + static_cast<std::size_t>(got) > maxSize) {
            return fail(error, FileManager::errorFor(FileOperation::Read, EFBIG, path));
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
}

// The descriptor's status when it is a regular file; null with the error naming path and the
// kind otherwise.
std::optional<struct stat> regularStatus(int descriptor, std::string_view path, Error* error) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) {
        fail(error, FileManager::errorFor(FileOperation::Read, errno, path));
        return std::nullopt;
    }
    if (const char* kind = irregularKind(info.st_mode)) {
        const int posixError = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        Error failure = FileManager::errorFor(FileOperation::Read, posixError, path);
        failure.localizedDescription =
            "The file “" + std::string(path) + "” couldn’t be opened because it is " + kind + ", not a regular file.";
        fail(error, std::move(failure));
        return std::nullopt;
    }
    return info;
}

}  // namespace

int RegularFile::openFlags() { return O_PATH | O_CLOEXEC; }

std::optional<std::string> RegularFile::read(const std::string& path, std::uint64_t maxSize, Error* error) {
    const OwnedDescriptor file(::open(path.c_str(), openFlags()));
    if (file.get() < 0) {
        return fail(error, FileManager::errorFor(FileOperation::Read, errno, path));
    }
    return readDescriptor(file.get(), path, maxSize, error);
}

bool RegularFile::checkDescriptor(int descriptor, std::string_view path, Error* error) {
    return regularStatus(descriptor, path, error).has_value();
}

std::optional<std::string> RegularFile::readDescriptor(int descriptor, std::string_view path, std::uint64_t maxSize,
                                                       Error* error) {
    const auto status = regularStatus(descriptor, path, error);
    if (!status) {
        return std::nullopt;
    }
    const struct stat& info = *status;
    if (static_cast<std::uint64_t>(info.st_size) > maxSize) {
        return fail(error, FileManager::errorFor(FileOperation::Read, EFBIG, path));
    }
    // A location only is opened for reading through its own entry in /proc, which reaches
    // the very file checked above.
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || (flags & O_PATH) == 0) {
        return readBounded(descriptor, path, maxSize, error);
    }
    const std::string location = "/proc/self/fd/" + std::to_string(descriptor);
    const OwnedDescriptor reopened(::open(location.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (reopened.get() < 0) {
        return fail(error, FileManager::errorFor(FileOperation::Read, errno, path));
    }
    return readBounded(reopened.get(), path, maxSize, error);
}

}  // namespace platform
