#include "KVLSharedUtil/KVLAppRegistrationHelper.h"

#include "KVLSharedUtil/KVLFileUtil.h"
#include "LoggerService/KVLLog.h"
#include "Platform/ApplicationDatabase.h"

std::vector<platform::URL> KVLAppRegistrationHelper::mApplicationsToRegister() const {
    const std::lock_guard lock(mutex_);
    return mApplicationsToRegister_;
}

void KVLAppRegistrationHelper::setMApplicationsToRegister(std::vector<platform::URL> applications) {
    const std::lock_guard lock(mutex_);
    mApplicationsToRegister_ = std::move(applications);
}

bool KVLAppRegistrationHelper::addApplicationURL(const std::optional<platform::URL>& url) {
    if (!url) {
        return false;
    }
    const std::lock_guard lock(mutex_);
    mApplicationsToRegister_.push_back(*url);
    return true;
}

bool KVLAppRegistrationHelper::addApplicationPath(const std::optional<std::string>& path) {
    return addApplicationURL(KVLFileUtil::fileURLFromPath(path));
}

void KVLAppRegistrationHelper::registerApplications() {
    for (const platform::URL& url : mApplicationsToRegister()) {
        platform::Error error;
        const std::int32_t status = platform::ApplicationDatabase::registerURL(url, true, &error);
        if (status != platform::ApplicationDatabase::kNoError) {
            KVL_LOG(KVLLogLevelError, "Application %@ not registered successfully due to error code %d: %@",
                    url.lastPathComponent(), status, error.localizedDescription);
        } else {
            KVL_LOG(KVLLogLevelInfo, "Application %@ registered succesfully", url.lastPathComponent());
        }
    }
}
