#include "KVLSharedUtil/KVLRunningApplicationHelper.h"

#include "Platform/ApplicationDatabase.h"

platform::PlistDictionary KVLRunningApplicationHelper::mApplicationNameVsApplicationIdentifierList() const {
    const std::lock_guard lock(mutex_);
    return mApplicationNameVsApplicationIdentifierList_;
}

void KVLRunningApplicationHelper::setMApplicationNameVsApplicationIdentifierList(platform::PlistDictionary list) {
    const std::lock_guard lock(mutex_);
    mApplicationNameVsApplicationIdentifierList_ = std::move(list);
}

bool KVLRunningApplicationHelper::addApplication(const std::optional<std::string>& name,
                                                 const std::optional<std::string>& identifier) {
    if (!name || !identifier) {
        return false;
    }
    const std::lock_guard lock(mutex_);
    mApplicationNameVsApplicationIdentifierList_[*name] = *identifier;
    return true;
}

std::vector<std::string> KVLRunningApplicationHelper::runningApplicationName() const {
    std::vector<std::string> names;
    for (const auto& [name, identifier] : mApplicationNameVsApplicationIdentifierList()) {
        // A value set through the setter that is not a string names no application.
        if (identifier.string() != nullptr &&
            !platform::ApplicationDatabase::runningApplicationsWithBundleIdentifier(*identifier.string()).empty()) {
            names.push_back(name);
        }
    }
    return names;
}
