#include "Platform/PropertyListSerialization.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Platform/Format.h"
#include "Platform/WriteAll.h"

namespace platform {

namespace {

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string folderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

void failWithErrno(Error* error, int errnum, std::int64_t code, std::string description) {
    if (error != nullptr) {
        auto underlying = std::make_shared<Error>(
            Error{std::string(kPOSIXErrorDomain), errnum, std::strerror(errnum), nullptr});
        *error = Error{std::string(kCocoaErrorDomain), code, std::move(description), std::move(underlying)};
    }
}

void failWrite(Error* error, int errnum, const std::string& path) {
    const std::string name = fileName(path);
    const std::string folder = fileName(folderOf(path));
    switch (errnum) {
        case ENOENT:
        case ENOTDIR:
            failWithErrno(error, errnum, 4, formatString("The folder “%@” doesn’t exist.", folder));
            break;
        case EACCES:
        case EPERM:
            failWithErrno(error, errnum, 513,
                          formatString("You don’t have permission to save the file “%@” in the folder “%@”.", name,
                                       folder));
            break;
        case ENOSPC:
        case EDQUOT:
            failWithErrno(error, errnum, 640,
                          formatString("The file “%@” couldn’t be saved because there isn’t enough space.", name));
            break;
        case EROFS:
            failWithErrno(error, errnum, 642,
                          formatString("The file “%@” couldn’t be saved because the volume is read only.", name));
            break;
        default:
            failWithErrno(error, errnum, 512, formatString("The file “%@” couldn’t be saved.", name));
    }
}

// A name in the target's folder that no other writer of this process or another one uses.
std::string temporaryPathFor(const std::string& path) {
    static std::atomic<unsigned long> counter{0};
    return formatString("%@/.%@.%d.%lu.tmp", folderOf(path), fileName(path), static_cast<int>(::getpid()),
                        counter.fetch_add(1));
}

}  // namespace

bool PropertyListSerialization::writeFileAtomically(const std::string& path, std::string_view bytes, Error* error) {
    std::string temporary;
    int fd = -1;
    // O_EXCL with the usual creation mode: the new file gets the permissions any new file
    // would (0666 less the umask); a name taken by a stale file is skipped.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryPathFor(path);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        failWrite(error, errno, path);
        return false;
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        const int errnum = written ? errno : writeErrno;
        ::unlink(temporary.c_str());
        failWrite(error, errnum, path);
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int errnum = errno;
        ::unlink(temporary.c_str());
        failWrite(error, errnum, path);
        return false;
    }
    // Make the rename itself durable.
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

}  // namespace platform
