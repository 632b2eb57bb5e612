#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ErrorService/IKVLInternalError.h"
#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "Platform/URL.h"

// The copy and delete lists of one assistant cycle, carried out through the privilege provider.
class KVLFileOperationHelper {
public:
    explicit KVLFileOperationHelper(std::shared_ptr<IKVLAdminPrivilegeProvider> provider);

    // Keyed by destination: a later pair with the same destination replaces the earlier one.
    // False, adding nothing, when either URL is null.
    bool addFromFileToCopyList(const std::optional<platform::URL>& source,
                               const std::optional<platform::URL>& destination);
    // Copies every pair (creating folders, replacing files); the record ends with the last
    // failure, and without continueIfFailed the first failure ends the run.
    void copyFileWithError(IKVLInternalError* error, bool shouldContinueIfFailed);
    // False, adding nothing, for a null URL; a URL added twice is listed twice.
    bool addFileToDeleteFilesList(const std::optional<platform::URL>& url);
    // Removes every listed item, handing the caller's record to each removal; an empty list
    // is itself a failure (-10003), logged.
    void deleteFilesWithError(IKVLInternalError* error);

    std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider() const;
    // destination text -> (source, destination), in the destinations' order.
    std::map<std::string, std::pair<platform::URL, platform::URL>> mCopyFilesSrcVsDestinationFile() const;
    std::vector<platform::URL> mDeleteFilesURLs() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<IKVLAdminPrivilegeProvider> mAdminPrivilegeProvider_;
    std::map<std::string, std::pair<platform::URL, platform::URL>> mCopyFilesSrcVsDestinationFile_;
    std::vector<platform::URL> mDeleteFilesURLs_;
};
