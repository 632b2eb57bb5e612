#include "Platform/PropertyListSerialization.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Platform/DescriptorTree.h"
#include "Platform/Format.h"

namespace platform {

namespace {

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string folderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

void failWithErrno(Error* error, int errnum, std::int64_t code, std::string description) {
    if (error != nullptr) {
        auto underlying =
            std::make_shared<Error>(Error{std::string(kPOSIXErrorDomain), errnum, std::strerror(errnum), nullptr});
        *error = Error{std::string(kCocoaErrorDomain), code, std::move(description), std::move(underlying)};
    }
}

void failWrite(Error* error, int errnum, const std::string& path) {
    const std::string name = fileName(path);
    const std::string folder = fileName(folderOf(path));
    switch (errnum) {
        case ENOENT:
        case ENOTDIR: failWithErrno(error, errnum, 4, formatString("The folder “%@” doesn’t exist.", folder)); break;
        case EACCES:
        case EPERM:
            failWithErrno(
                error, errnum, 513,
                formatString("You don’t have permission to save the file “%@” in the folder “%@”.", name, folder));
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
        default: failWithErrno(error, errnum, 512, formatString("The file “%@” couldn’t be saved.", name));
    }
}

}  // namespace

bool PropertyListSerialization::writeFileAtomically(const std::string& path, std::string_view bytes, Error* error) {
    if (const int failure = DescriptorTree::writeFileAtPath(path, bytes, DescriptorTree::newFileMode())) {
        failWrite(error, failure, path);
        return false;
    }
    return true;
}

}  // namespace platform
