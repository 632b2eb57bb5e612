#include "KVLSharedUtil/KVLFileOperationHelper.h"

#include "KVLSharedUtil/KVLAbsentPrivilegeProvider.h"
#include "KVLSharedUtil/KVLBatch.h"
#include "LoggerService/KVLLog.h"

KVLFileOperationHelper::KVLFileOperationHelper(std::shared_ptr<IKVLAdminPrivilegeProvider> provider)
    : mAdminPrivilegeProvider_(KVLAbsentPrivilegeProvider::orAbsent(std::move(provider))) {}

bool KVLFileOperationHelper::addFromFileToCopyList(const std::optional<platform::URL>& source,
                                                   const std::optional<platform::URL>& destination) {
    if (!source || !destination) {
        return false;
    }
    std::lock_guard lock(mutex_);
    mCopyFilesSrcVsDestinationFile_.insert_or_assign(destination->absoluteString(), std::pair(*source, *destination));
    return true;
}

void KVLFileOperationHelper::copyFileWithError(IKVLInternalError* error, bool shouldContinueIfFailed) {
    const auto provider = mAdminPrivilegeProvider();
    KVLRunBatch(mCopyFilesSrcVsDestinationFile(), error, shouldContinueIfFailed,
                [&provider](const auto& entry, IKVLInternalError* record) {
                    provider->copyFile(entry.second.first, entry.second.second, true, true, record);
                });
}

bool KVLFileOperationHelper::addFileToDeleteFilesList(const std::optional<platform::URL>& url) {
    if (!url) {
        return false;
    }
    std::lock_guard lock(mutex_);
    mDeleteFilesURLs_.push_back(*url);
    return true;
}

void KVLFileOperationHelper::deleteFilesWithError(IKVLInternalError* error) {
    const auto urls = mDeleteFilesURLs();
    if (urls.empty()) {
        if (error != nullptr) {
            error->populateWithErrorno(KVLErrorCodeUninitializedObject, "KVLFileOperationHelper - No files to delete",
                                       KVL_SOURCE_PATH, __LINE__, std::nullopt);
            KVLLogInternalError(*error);
        }
        return;
    }
    const auto provider = mAdminPrivilegeProvider();
    for (const platform::URL& url : urls) {
        provider->removeFileAt(url, error);
    }
}

std::shared_ptr<IKVLAdminPrivilegeProvider> KVLFileOperationHelper::mAdminPrivilegeProvider() const {
    std::lock_guard lock(mutex_);
    return mAdminPrivilegeProvider_;
}

std::map<std::string, std::pair<platform::URL, platform::URL>> KVLFileOperationHelper::mCopyFilesSrcVsDestinationFile()
    const {
    std::lock_guard lock(mutex_);
    return mCopyFilesSrcVsDestinationFile_;
}

std::vector<platform::URL> KVLFileOperationHelper::mDeleteFilesURLs() const {
    std::lock_guard lock(mutex_);
    return mDeleteFilesURLs_;
}
