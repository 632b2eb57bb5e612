#include "KVLSharedUtil/KVLAbsentPrivilegeProvider.h"

std::shared_ptr<IKVLAdminPrivilegeProvider> KVLAbsentPrivilegeProvider::orAbsent(
    std::shared_ptr<IKVLAdminPrivilegeProvider> provider) {
    return provider != nullptr ? std::move(provider) : std::make_shared<KVLAbsentPrivilegeProvider>();
}

bool KVLAbsentPrivilegeProvider::copyFile(const platform::URL&, const platform::URL&, bool, bool, IKVLInternalError*) {
    return false;
}

bool KVLAbsentPrivilegeProvider::setAttributes(const platform::PlistDictionary&, const std::string&,
                                               IKVLInternalError*) {
    return false;
}

bool KVLAbsentPrivilegeProvider::removeFileAt(const platform::URL&, IKVLInternalError*) { return false; }

bool KVLAbsentPrivilegeProvider::launchCommand(const std::string&, IKVLInternalError*) { return false; }
