#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ErrorService/IKVLInternalError.h"
#include "Platform/FileHandle.h"
#include "Platform/URL.h"

// Small, uniform answers over the file manager and a few POSIX calls. Every operation except
// getTempPathForBundleId runs in the safe zone. Only size, delete, copy and move fill a
// record; the tests answer false and the builders and reads answer null.
class KVLFileUtil {
public:
    // The folder path with prefix + name appended as one component (a null prefix is "").
    static platform::URL fileURLFromPath(const std::string& folderPath, const std::optional<std::string>& prefix,
                                         const std::string& name);
    static std::optional<platform::URL> fileURLFromPath(const std::optional<std::string>& path);
    // Null for a null path or bytes that are not UTF-8.
    static std::optional<platform::URL> fileURLFromCStringFilePath(const char* path);
    // The file URL of the item an open descriptor refers to; null for a negative or bad one.
    static std::optional<platform::URL> fileURLFromFD(int descriptor);
    // The C path read as URL text and resolved against the descriptor's URL: inside a folder
    // descriptor, beside a file descriptor.
    static std::optional<platform::URL> fileURLFromCStringFilePathRelativeToFD(const char* path, int descriptor);
    // The temporary folder when its last component is the bundle id, else the bundle id's
    // folder inside it. Creates nothing.
    static std::string getTempPathForBundleId(const std::string& bundleId);

    // True only for an existing item that is not a folder.
    static bool isFileExist(const std::optional<platform::URL>& url);
    // True only for an existing folder.
    static bool isDirectory(const std::optional<platform::URL>& url);
    static bool isFileExistAtPath(const char* path);
    static bool isDirectoryAtPath(const char* path);
    // The whole contents of an existing file; null for a folder, a missing or unreadable file.
    static std::optional<std::string> contentsOfFileAtPath(const platform::URL& url);
    // The item's own size; 0 with the record filled and logged on failure.
    // The size of the handle's file; the handle's position is unchanged. Platform
    // exceptions pass through.
    static std::uint64_t getFileSizeFromHandle(platform::FileHandle& handle);
    static std::uint64_t getSizeofItemAtPath(const platform::URL& url, IKVLInternalError* error);

    static bool deleteFileAtPath(const platform::URL& url, IKVLInternalError* error);
    // Both refuse an existing destination.
    static bool copyFile(const platform::URL& source, const platform::URL& destination, IKVLInternalError* error);
    static bool moveFile(const platform::URL& source, const platform::URL& destination, IKVLInternalError* error);
    // An exclusive advisory lock taken without waiting; false for a negative descriptor.
    static bool lockFileForFd(int descriptor);
    static bool unLockFileForFd(int descriptor);

    // The first free name "<prefix>_<timestamp>_<n>.<extension>" in the folder, n from 1; the
    // timestamp is the local time as "YYYYMMDDHHmmssSSS". Chosen only: nothing is created.
    static platform::URL getTempFilePathInDir(const std::string& folderPath, const std::string& prefix,
                                              const std::string& extension);
    static platform::URL getTempFilePathForFile(const platform::URL& fileURL);
    static platform::URL getTempFilePathInDirForFileURL(const std::string& folderPath, const platform::URL& fileURL);

    // The folder's direct entries without hidden ones; null unless it is a readable folder.
    static std::optional<std::vector<platform::URL>> getFilesInDirectory(const platform::URL& folder);
    // Every entry at every depth, hidden ones and their contents left out; empty when the URL
    // is not a readable folder.
    static std::vector<platform::URL> getFilesAndFoldersInDirectoryRecursively(const platform::URL& folder);
    // The same walk without the folders.
    static std::vector<platform::URL> getFilesInDirectoryRecursively(const platform::URL& folder);
};
