#include "KVLUpdaterAssistant.h"

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "KVLSharedUtil/NSLocale+LangaugeIdentifier.h"
#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "LoggerService/KVLLog.h"
#include "LoggerService/KVLLoggerService.h"
#include "Platform/Bundle.h"
#include "Platform/Console.h"

extern "C" void KVLUpdaterAssistantMarker() {}

bool KVLUpdaterAssistant::setupUpdater(const std::shared_ptr<IKVLAdminPrivilegeProvider>& provider,
                                       std::shared_ptr<IKVLLogger> logger,
                                       const std::optional<platform::PlistDictionary>& /*config*/) {
    if (!loadLibrariesWithLogger(std::move(logger))) {
        return false;
    }
    std::lock_guard lock(mutex_);
    mAdminPrivilegeProvider_ = provider;
    mLaunchServiceHelper_ = std::make_shared<KVLLaunchServiceHelper>(provider);
    mFileHelper_ = std::make_shared<KVLFileOperationHelper>(provider);
    return true;
}

void KVLUpdaterAssistant::cleanupUpdater() {
    unloadLibraries();
    std::lock_guard lock(mutex_);
    cycle_ = Cycle::None;
    mFileHelper_.reset();
    mLaunchServiceHelper_.reset();
    mAdminPrivilegeProvider_.reset();
}

bool KVLUpdaterAssistant::loadLibrariesWithLogger(std::shared_ptr<IKVLLogger> logger) {
    std::shared_ptr<platform::Error> slot;
    KVLErrorService::load(nullptr, &slot);
    if (slot) {
        platform::Console::log("OrvaneLite:: KVLUpdaterAssistant - Failed to load Error Service.");
        return false;
    }
    platform::Console::log("OrvaneLite:: KVLUpdaterAssistant - Error Service loaded successfully");
    const auto record = KVLCreateInternalError();
    KVLLoggerService::load(nullptr, record.get());
    if (!record || !record->isSuccess()) {
        platform::Console::log("OrvaneLite:: KVLUpdaterAssistant - Failed to load Logger Service.");
        return false;
    }
    platform::Console::log("OrvaneLite:: KVLUpdaterAssistant - Logger Service loaded successfully");
    KVLLoggerService::sharedInstance()->createLoggerWithLogger(std::move(logger), record.get());
    if (!record->isSuccess()) {
        platform::Console::log("OrvaneLite:: KVLUpdaterAssistant - Failed to create Logger.");
        return false;
    }
    KVL_LOG(KVLLogLevelInfo, "KVLUpdaterAssistant - Logger Service loaded successfully");

    const std::string defaultLanguage = NSLocaleLangaugeIdentifier::languageCode(platform::Locale("en_US"));
    const std::string localeLanguage = NSLocaleLangaugeIdentifier::languageCode(platform::Locale::currentLocale());
    auto strings = KVLErrorService::sharedInstance()->createStringManagerWithDefaultLanguageId(
        defaultLanguage, localeLanguage, record.get());
    {
        std::lock_guard lock(mutex_);
        mStringManager_ = strings;
    }
    if (!record->isSuccess()) {
        KVL_LOG(KVLLogLevelError, "KVLUpdaterAssistant - Failed to load strings.");
        return false;
    }
    // The plug-in's own bundle: the one holding this code, whatever the host's path.
    const auto bundle = platform::Bundle::bundleForAddress(reinterpret_cast<const void*>(&KVLUpdaterAssistantMarker));
    strings->loadBundleFromFile(bundle ? std::optional<std::string>(bundle->bundlePath()) : std::nullopt,
                                "KVLUpdaterAssistantStrings", record.get());
    if (record->isSuccess()) {
        KVL_LOG(KVLLogLevelInfo, "KVLUpdaterAssistant - String manager loaded successfully");
        return true;
    }
    KVL_LOG(KVLLogLevelError, "KVLCoreAssistant - Failed to load StringManager.");
    return false;
}

void KVLUpdaterAssistant::unloadLibraries() {
    const auto record = KVLCreateInternalError();
    KVLLoggerService::unload(record.get());
    if (record) {
        record->reset();
    }
    KVLErrorService::unload(record.get());
}

bool KVLUpdaterAssistant::loadLaunchServiceList() {
    const auto paths = KVLUpdaterConfigService::sharedInstance()->updaterPathHelper();
    const auto helper = mLaunchServiceHelper();
    if (!helper->addUserAgentWithPListPath(paths->sourceOfOrvaneLiteAutoUpdaterAppPListURL())) {
        KVL_LOG(KVLLogLevelError, "Failed to load Launch Service - Auto updater");
        return false;
    }
    if (!helper->addGlobalDaemonWithPListPath(paths->sourceOfCopyHelperPListURL())) {
        KVL_LOG(KVLLogLevelError, "Failed to load Launch Service - copy helper");
        return false;
    }
    if (!helper->addGlobalDaemonWithPListPath(paths->sourceOfUpdateHelperPListURL())) {
        KVL_LOG(KVLLogLevelError, "Failed to load Launch Service - update helper");
        return false;
    }
    return true;
}

bool KVLUpdaterAssistant::loadCopyFileList() {
    const auto paths = KVLUpdaterConfigService::sharedInstance()->updaterPathHelper();
    const auto helper = mFileHelper();
    if (!helper->addFromFileToCopyList(paths->sourceOfUpdaterSystemPreferencesPListURL(),
                                       paths->destinationOfUpdaterSystemPreferencesPListURL())) {
        KVL_LOG(KVLLogLevelError, "KVLUpdaterAssistant - Failed to load copy file List for system preferences plist");
        return false;
    }
    if (!helper->addFromFileToCopyList(paths->sourceOfUpdateSchedulerPListURL(),
                                       paths->destinationOfUpdateSchedulerPlist())) {
        KVL_LOG(KVLLogLevelError, "KVLUpdaterAssistant - Failed to load the copy file list for update scheduler tool");
        return false;
    }
    return true;
}

bool KVLUpdaterAssistant::loadDeleteFileList() {
    return mFileHelper()->addFileToDeleteFilesList(
        KVLUpdaterConfigService::sharedInstance()->updaterPathHelper()->orvaneLiteUpdaterDirectoryURL());
}

bool KVLUpdaterAssistant::enterCycle(Cycle cycle, bool setUp) {
    std::lock_guard lock(mutex_);
    cycle_ = setUp ? cycle : Cycle::None;
    return setUp;
}

bool KVLUpdaterAssistant::isSetUpFor(Cycle cycle, std::string_view operation) const {
    {
        std::lock_guard lock(mutex_);
        if (cycle_ == cycle) {
            return true;
        }
    }
    const auto service = KVLLoggerService::sharedInstance();
    if (service && service->getLogger()) {
        KVL_LOG(KVLLogLevelError, "%@ called without a successful setup", operation);
    } else {
        platform::Console::logFormat("OrvaneLite:: %@ called without a successful setup", operation);
    }
    return false;
}

std::shared_ptr<IKVLAdminPrivilegeProvider> KVLUpdaterAssistant::mAdminPrivilegeProvider() const {
    std::lock_guard lock(mutex_);
    return mAdminPrivilegeProvider_;
}

std::shared_ptr<KVLLaunchServiceHelper> KVLUpdaterAssistant::mLaunchServiceHelper() const {
    std::lock_guard lock(mutex_);
    return mLaunchServiceHelper_;
}

std::shared_ptr<IKVLStringManager> KVLUpdaterAssistant::mStringManager() const {
    std::lock_guard lock(mutex_);
    return mStringManager_;
}

std::shared_ptr<KVLFileOperationHelper> KVLUpdaterAssistant::mFileHelper() const {
    std::lock_guard lock(mutex_);
    return mFileHelper_;
}
