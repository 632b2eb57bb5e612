#include "KVLSharedUtil/KVLLaunchService.h"

#include "KVLSharedUtil/KVLAbsentPrivilegeProvider.h"
#include "KVLSharedUtil/KVLFileUtil.h"
#include "KVLSharedUtil/KVLTaskUtil.h"
#include "LoggerService/KVLLog.h"
#include "Platform/Format.h"
#include "Platform/SearchPaths.h"

namespace {

std::string libraryOf(platform::SearchPathDomainMask domain) {
    const auto paths =
        platform::SearchPaths::forDirectoriesInDomains(platform::SearchPathDirectory::Library, domain, true);
    return paths.empty() ? std::string() : paths.front();
}

}  // namespace

KVLLaunchService::KVLLaunchService(KVLLaunchServiceType type, platform::URL plistPath,
                                   std::shared_ptr<IKVLAdminPrivilegeProvider> provider)
    : mPListPath_(std::move(plistPath)),
      mLaunchServiceType_(type),
      mAdminPrivilegeProvider_(KVLAbsentPrivilegeProvider::orAbsent(std::move(provider))) {}

platform::URL KVLLaunchService::destinationPathOfPList() const {
    switch (mLaunchServiceType()) {
        case KVLLaunchServiceTypeCurrentUserAgent:
            return platform::URL::fileURLWithPath(libraryOf(platform::UserDomainMask) + "/LaunchAgents", true);
        case KVLLaunchServiceTypeUserAgent:
            return platform::URL::fileURLWithPath(libraryOf(platform::LocalDomainMask) + "/LaunchAgents", true);
        case KVLLaunchServiceTypeGlobalDaemon:
        default: return platform::URL::fileURLWithPath(libraryOf(platform::LocalDomainMask) + "/LaunchDaemons", true);
    }
}

platform::URL KVLLaunchService::installedPList() const {
    return destinationPathOfPList().URLByAppendingPathComponent(mPListPath().lastPathComponent(), false);
}

void KVLLaunchService::registerServiceWithReplaceExisting(bool replaceExisting, IKVLInternalError* error) {
    const platform::URL installed = installedPList();
    if (KVLFileUtil::isFileExist(installed)) {
        if (!replaceExisting) {
            if (error != nullptr) {
                error->populateWithErrorMessage("Launch Service already exist.", KVLErrorCodeAlreadyExists,
                                                KVLInternalErrorTypeInternal, KVL_SOURCE_PATH, __LINE__, std::nullopt);
                KVLLogInternalError(*error);
            }
            return;
        }
        KVL_LOG(KVLLogLevelInfo, "Removing Older Launch Service before registering new.");
        unloadServiceWithError(error);
        if (error != nullptr) {
            error->reset();
        }
        unregisterServiceWithError(error);
        if (error != nullptr) {
            error->reset();
        }
    }
    const auto provider = mAdminPrivilegeProvider();
    if (throughProvider()) {
        provider->copyFile(mPListPath(), installed, true, true, error);
    } else {
        KVLFileUtil::copyFile(mPListPath(), installed, error);
    }
    if (error == nullptr || error->isSuccess()) {
        if (throughProvider()) {
            const platform::PlistDictionary attributes{{"NSFilePosixPermissions", platform::PlistValue(0644)},
                                                       {"NSFileOwnerAccountName", platform::PlistValue("root")},
                                                       {"NSFileGroupOwnerAccountName", platform::PlistValue("wheel")}};
            provider->setAttributes(attributes, installed.path(), error);
        }
        return;
    }
    KVL_LOG(KVLLogLevelError, "Failed to register Launch service with error %@.", *error);
}

void KVLLaunchService::unregisterServiceWithError(IKVLInternalError* error) {
    const platform::URL installed = installedPList();
    if (throughProvider()) {
        mAdminPrivilegeProvider()->removeFileAt(installed, error);
    } else {
        KVLFileUtil::deleteFileAtPath(installed, error);
    }
}

void KVLLaunchService::loadServiceWithError(IKVLInternalError* error) { runLaunchctl("load", error); }

void KVLLaunchService::unloadServiceWithError(IKVLInternalError* error) { runLaunchctl("unload", error); }

void KVLLaunchService::runLaunchctl(const char* verb, IKVLInternalError* error) {
    // The path goes in unquoted, as launchd's command lines have always carried it.
    const std::string commandLine = platform::formatString("launchctl %s %@", verb, installedPList().path());
    if (mLaunchServiceType() == KVLLaunchServiceTypeGlobalDaemon) {
        mAdminPrivilegeProvider()->launchCommand(commandLine, error);
        return;
    }
    std::string output;
    KVLTaskUtil::launchCommand(commandLine, output);
    KVL_LOG(KVLLogLevelInfo, "LoadService output %@", output);
}
