#include "Platform/FileManager.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Platform/Format.h"
#include "Platform/PathUtilities.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

// The Cocoa code of a POSIX error on the writing side of an operation.
std::int64_t writingCode(int posixError) {
    switch (posixError) {
        case ENOENT: return 4;
        case EACCES:
        case EPERM: return 513;
        case EEXIST: return 516;
        case ENOSPC:
        case EDQUOT: return 640;
        case EROFS: return 642;
        default: return 512;
    }
}

std::int64_t readingCode(int posixError) {
    switch (posixError) {
        case ENOENT: return 260;
        case EACCES:
        case EPERM: return 257;
        case EFBIG: return 263;
        default: return 256;
    }
}

// The platform's wording, by operation and Cocoa code; "%1$@" is the item's name, "%2$@" the
// name of the folder it goes to (copy, move) or is in (create).
std::string_view wording(FileOperation operation, std::int64_t code) {
    switch (operation) {
        case FileOperation::Copy:
        case FileOperation::Move:
            switch (code) {
                case 4:
                    return "“%1$@” couldn’t be %3$@ to “%2$@” because either the former doesn’t exist, or the folder "
                           "containing the latter doesn’t exist.";
                case 513: return "“%1$@” couldn’t be %3$@ because you don’t have permission to access “%2$@”.";
                case 516: return "“%1$@” couldn’t be %3$@ to “%2$@” because an item with the same name already exists.";
                case 640: return "“%1$@” couldn’t be %3$@ to “%2$@” because there isn’t enough space.";
                case 642: return "“%1$@” couldn’t be %3$@ to “%2$@” because the volume is read only.";
                default: return "“%1$@” couldn’t be %3$@ to “%2$@”.";
            }
        case FileOperation::Remove:
            switch (code) {
                case 513: return "“%1$@” couldn’t be removed because you don’t have permission to access it.";
                case 642: return "“%1$@” couldn’t be removed because the volume is read only.";
                default: return "“%1$@” couldn’t be removed.";
            }
        case FileOperation::Create:
            switch (code) {
                case 4: return "The folder “%2$@” doesn’t exist.";
                case 513: return "You don’t have permission to save the file “%1$@” in the folder “%2$@”.";
                case 516:
                    return "The file “%1$@” couldn’t be saved in the folder “%2$@” because a file with the same name "
                           "already exists.";
                case 640: return "The file “%1$@” couldn’t be saved because there isn’t enough space.";
                case 642: return "The file “%1$@” couldn’t be saved because the volume is read only.";
                default: return "The file “%1$@” couldn’t be saved in the folder “%2$@”.";
            }
        case FileOperation::Read:
            switch (code) {
                case 260: return "The file “%1$@” couldn’t be opened because there is no such file.";
                case 257: return "The file “%1$@” couldn’t be opened because you don’t have permission to view it.";
                case 263: return "The file “%1$@” couldn’t be opened because it is too large.";
                default: return "The file “%1$@” couldn’t be opened.";
            }
    }
    return {};
}

std::string folderName(std::string_view path) {
    return PathUtilities::lastPathComponent(PathUtilities::stringByDeletingLastPathComponent(path));
}

bool isHidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

// The names in a folder, sorted, hidden ones left out when asked; the error code when the
// folder cannot be read.
std::optional<std::vector<std::string>> namesIn(const std::string& path, unsigned options, std::error_code& failure) {
    std::vector<std::string> names;
    fs::directory_iterator it(path, failure);
    for (; !failure && it != fs::directory_iterator(); it.increment(failure)) {
        std::string name = it->path().filename().string();
        if (!(options & DirectoryEnumerationSkipsHiddenFiles) || !isHidden(name)) {
            names.push_back(std::move(name));
        }
    }
    if (failure) {
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

void collectSubpaths(const std::string& folder, const std::string& prefix, unsigned options,
                     std::vector<std::string>& subpaths) {
    std::error_code failure;
    const auto names = namesIn(folder, options, failure);
    if (!names) {
        return;
    }
    for (const std::string& name : *names) {
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        subpaths.push_back(relative);
        const std::string full = folder + "/" + name;
        std::error_code ignored;
        if (fs::symlink_status(full, ignored).type() == fs::file_type::directory) {
            collectSubpaths(full, relative, options, subpaths);
        }
    }
}

}  // namespace

Error FileManager::errorFor(FileOperation operation, int posixError, std::string_view path,
                            std::string_view destination) {
    const bool reading = operation == FileOperation::Read;
    const std::int64_t code = reading ? readingCode(posixError) : writingCode(posixError);
    const bool copying = operation == FileOperation::Copy || operation == FileOperation::Move;
    const std::string verb = operation == FileOperation::Move ? "moved" : "copied";
    const std::string name = PathUtilities::lastPathComponent(path);
    const std::string folder = folderName(copying ? destination : path);

    Error error;
    error.domain = std::string(kCocoaErrorDomain);
    error.code = code;
    error.localizedDescription = formatString(wording(operation, code), name, folder, verb);
    error.underlyingError = std::make_shared<const Error>(
        Error{std::string(kPOSIXErrorDomain), posixError, std::generic_category().message(posixError), nullptr});
    return error;
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectoryAtPath(const std::string& path,
                                                                               unsigned options, Error* error) {
    std::error_code failure;
    auto names = namesIn(path, options, failure);
    if (!names && error != nullptr) {
        *error = errorFor(FileOperation::Read, failure.value(), path);
    }
    return names;
}

std::optional<std::vector<URL>> FileManager::contentsOfDirectoryAtURL(const URL& folder, unsigned options,
                                                                      Error* error) {
    const std::string path = folder.path();
    const auto names = contentsOfDirectoryAtPath(path, options, error);
    if (!names) {
        return std::nullopt;
    }
    std::vector<URL> urls;
    for (const std::string& name : *names) {
        urls.push_back(URL::fileURLWithPath(PathUtilities::stringByAppendingPathComponent(path, name)));
    }
    return urls;
}

std::vector<std::string> FileManager::subpathsOfDirectoryAtPath(const std::string& path, unsigned options) {
    std::vector<std::string> subpaths;
    collectSubpaths(path, "", options, subpaths);
    return subpaths;
}

std::vector<URL> FileManager::enumeratorAtURL(const URL& folder, unsigned options) {
    const std::string path = folder.path();
    std::vector<URL> urls;
    for (const std::string& relative : subpathsOfDirectoryAtPath(path, options)) {
        const std::string item = PathUtilities::stringByAppendingPathComponent(path, relative);
        // A link is an item of its own, never the folder it may lead to.
        std::error_code ignored;
        urls.push_back(
            URL::fileURLWithPath(item, fs::symlink_status(item, ignored).type() == fs::file_type::directory));
    }
    return urls;
}

std::optional<std::string> FileManager::contentsAtPath(const std::string& path) {
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string contents(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) {
        return std::nullopt;
    }
    return contents;
}

}  // namespace platform
