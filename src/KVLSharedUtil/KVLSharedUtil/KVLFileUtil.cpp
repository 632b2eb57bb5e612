#include "KVLSharedUtil/KVLFileUtil.h"

#include <sys/file.h>

#include "KVLSharedUtil/KVLSafeZone.h"
#include "KVLSharedUtil/NSDate+KVLExtensions.h"
#include "LoggerService/KVLLog.h"
#include "Platform/FileManager.h"
#include "Platform/Format.h"
#include "Platform/PathUtilities.h"
#include "Platform/SearchPaths.h"
#include "Platform/UTF8.h"

namespace {

// Copy and move share their failure report, wording included.
bool reportTransfer(bool done, const platform::Error& failure, const platform::URL& source,
                    const platform::URL& destination, IKVLInternalError* error, std::int64_t line) {
    if (!done && error != nullptr) {
        error->populateWithNSError(
            failure, platform::formatString("Failed to copy file '%@'", source), KVL_SOURCE_PATH, line,
            platform::PlistDictionary{{"objSrcFileURL", platform::PlistValue(source.absoluteString())},
                                      {"objDestFileURL", platform::PlistValue(destination.absoluteString())}});
    }
    return done;
}

std::vector<platform::URL> walk(const platform::URL& folder, bool keepFolders) {
    KVLSafeZone zone;
    std::vector<platform::URL> entries;
    for (platform::URL& entry :
         platform::FileManager::enumeratorAtURL(folder, platform::DirectoryEnumerationSkipsHiddenFiles)) {
        if (keepFolders || !entry.hasDirectoryPath()) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

}  // namespace

platform::URL KVLFileUtil::fileURLFromPath(const std::string& folderPath, const std::optional<std::string>& prefix,
                                           const std::string& name) {
    KVLSafeZone zone;
    const std::string fileName = platform::formatString("%@%@", prefix.value_or(""), name);
    return platform::URL::fileURLWithPath(
        platform::PathUtilities::stringByAppendingPathComponent(folderPath, fileName));
}

std::optional<platform::URL> KVLFileUtil::fileURLFromPath(const std::optional<std::string>& path) {
    if (!path) {
        return std::nullopt;
    }
    KVLSafeZone zone;
    return platform::URL::fileURLWithPath(*path);
}

std::optional<platform::URL> KVLFileUtil::fileURLFromCStringFilePath(const char* path) {
    KVLSafeZone zone;
    if (path == nullptr || !platform::isValidUTF8(path)) {
        return std::nullopt;
    }
    return fileURLFromPath(std::optional<std::string>(path));
}

std::optional<platform::URL> KVLFileUtil::fileURLFromFD(int descriptor) {
    KVLSafeZone zone;
    if (descriptor < 0) {
        return std::nullopt;
    }
    const auto path = platform::FileManager::pathOfDescriptor(descriptor);
    return path ? fileURLFromCStringFilePath(path->c_str()) : std::nullopt;
}

std::optional<platform::URL> KVLFileUtil::fileURLFromCStringFilePathRelativeToFD(const char* path, int descriptor) {
    KVLSafeZone zone;
    const auto base = fileURLFromFD(descriptor);
    if (!base || path == nullptr || !platform::isValidUTF8(path)) {
        return std::nullopt;
    }
    return platform::URL::URLWithString(path, base);
}

std::string KVLFileUtil::getTempPathForBundleId(const std::string& bundleId) {
    std::string temporary = platform::SearchPaths::temporaryDirectory();
    if (platform::PathUtilities::lastPathComponent(temporary) == bundleId) {
        return temporary;
    }
    return platform::PathUtilities::stringByAppendingPathComponent(temporary, bundleId);
}

bool KVLFileUtil::isFileExist(const std::optional<platform::URL>& url) {
    KVLSafeZone zone;
    bool folder = false;
    return url && platform::FileManager::fileExistsAtPath(url->path(), &folder) && !folder;
}

bool KVLFileUtil::isDirectory(const std::optional<platform::URL>& url) {
    KVLSafeZone zone;
    bool folder = false;
    return url && platform::FileManager::fileExistsAtPath(url->path(), &folder) && folder;
}

bool KVLFileUtil::isFileExistAtPath(const char* path) {
    KVLSafeZone zone;
    return path != nullptr && isFileExist(fileURLFromCStringFilePath(path));
}

bool KVLFileUtil::isDirectoryAtPath(const char* path) {
    if (path == nullptr) {
        return false;
    }
    KVLSafeZone zone;
    return isDirectory(fileURLFromCStringFilePath(path));
}

std::optional<std::string> KVLFileUtil::contentsOfFileAtPath(const platform::URL& url) {
    KVLSafeZone zone;
    if (!isFileExist(url)) {
        return std::nullopt;
    }
    return platform::FileManager::contentsAtPath(url.path());
}

std::uint64_t KVLFileUtil::getFileSizeFromHandle(platform::FileHandle& handle) {
    KVLSafeZone zone;
    const std::uint64_t position = handle.offsetInFile();
    const std::uint64_t size = handle.seekToEndOfFile();
    handle.seekToFileOffset(position);
    return size;
}

std::uint64_t KVLFileUtil::getSizeofItemAtPath(const platform::URL& url, IKVLInternalError* error) {
    KVLSafeZone zone;
    platform::Error failure;
    const auto attributes = platform::FileManager::attributesOfItemAtPath(url.path(), &failure);
    if (attributes) {
        return attributes->size;
    }
    if (error != nullptr) {
        error->populateWithNSError(failure, "Unable to fetch file attributes.", KVL_SOURCE_PATH, __LINE__,
                                   std::nullopt);
        KVLLogInternalError(*error);
    }
    return 0;
}

bool KVLFileUtil::deleteFileAtPath(const platform::URL& url, IKVLInternalError* error) {
    KVLSafeZone zone;
    platform::Error failure;
    if (platform::FileManager::removeItemAtPath(url.path(), &failure)) {
        return true;
    }
    if (error != nullptr) {
        error->populateWithNSError(
            failure, platform::formatString("Failed to delete file '%@'", url), KVL_SOURCE_PATH, __LINE__,
            platform::PlistDictionary{{"objFileURL", platform::PlistValue(url.absoluteString())}});
    }
    return false;
}

bool KVLFileUtil::copyFile(const platform::URL& source, const platform::URL& destination, IKVLInternalError* error) {
    KVLSafeZone zone;
    platform::Error failure;
    const bool done = platform::FileManager::copyItemAtPath(source.path(), destination.path(), &failure);
    return reportTransfer(done, failure, source, destination, error, __LINE__);
}

bool KVLFileUtil::moveFile(const platform::URL& source, const platform::URL& destination, IKVLInternalError* error) {
    KVLSafeZone zone;
    platform::Error failure;
    const bool done = platform::FileManager::moveItemAtPath(source.path(), destination.path(), &failure);
    return reportTransfer(done, failure, source, destination, error, __LINE__);
}

bool KVLFileUtil::lockFileForFd(int descriptor) {
    KVLSafeZone zone;
    return descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
}

bool KVLFileUtil::unLockFileForFd(int descriptor) {
    KVLSafeZone zone;
    return descriptor >= 0 && ::flock(descriptor, LOCK_UN) == 0;
}

platform::URL KVLFileUtil::getTempFilePathInDir(const std::string& folderPath, const std::string& prefix,
                                                const std::string& extension) {
    KVLSafeZone zone;
    const std::string timestamp = NSDateKVLExtensions::currentTimeInFormat("YYYYMMDDHHmmssSSS", "en_US");
    for (unsigned long long counter = 1;; ++counter) {
        const std::string name = platform::formatString("%@_%@_%llu.%@", prefix, timestamp, counter, extension);
        platform::URL candidate = fileURLFromPath(folderPath, "", name);
        if (!isFileExist(candidate)) {
            return candidate;
        }
    }
}

platform::URL KVLFileUtil::getTempFilePathForFile(const platform::URL& fileURL) {
    KVLSafeZone zone;
    return getTempFilePathInDirForFileURL(platform::PathUtilities::stringByDeletingLastPathComponent(fileURL.path()),
                                          fileURL);
}

platform::URL KVLFileUtil::getTempFilePathInDirForFileURL(const std::string& folderPath, const platform::URL& fileURL) {
    KVLSafeZone zone;
    const std::string path = fileURL.path();
    return getTempFilePathInDir(
        folderPath,
        platform::PathUtilities::stringByDeletingPathExtension(platform::PathUtilities::lastPathComponent(path)),
        platform::PathUtilities::pathExtension(path));
}

std::optional<std::vector<platform::URL>> KVLFileUtil::getFilesInDirectory(const platform::URL& folder) {
    KVLSafeZone zone;
    if (!isDirectory(folder)) {
        return std::nullopt;
    }
    return platform::FileManager::contentsOfDirectoryAtURL(folder, platform::DirectoryEnumerationSkipsHiddenFiles);
}

std::vector<platform::URL> KVLFileUtil::getFilesAndFoldersInDirectoryRecursively(const platform::URL& folder) {
    return walk(folder, true);
}

std::vector<platform::URL> KVLFileUtil::getFilesInDirectoryRecursively(const platform::URL& folder) {
    return walk(folder, false);
}
