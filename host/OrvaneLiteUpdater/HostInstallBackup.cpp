#include "HostInstallBackup.h"

#include "ErrorService/KVLCreateInternalError.h"
#include "Platform/Format.h"

HostInstallBackup::HostInstallBackup(HostStatus& status) : root_(status.root()), copies_(status.installedCopies()) {}

std::vector<std::string> HostInstallBackup::restore(IKVLAdminPrivilegeProvider& provider) const {
    std::vector<std::string> failures;
    for (const HostStatus::InstalledCopy& copy : copies_) {
        platform::Error error;
        platform::FileAttributeChanges owner;
        owner.ownerAccountID = copy.attributes.ownerAccountID;
        owner.groupOwnerAccountID = copy.attributes.groupOwnerAccountID;
        if (!root_->writeFile(copy.path, copy.contents, copy.attributes.posixPermissions, &error) ||
            !root_->setAttributes(owner, copy.path, &error)) {
            failures.push_back(copy.path + " could not be put back: " + error.localizedDescription);
            continue;
        }
        const auto record = KVLCreateInternalError();
        if (copy.jobLoaded &&
            !provider.launchCommand("launchctl load " + platform::shellQuoted(copy.path), record.get())) {
            failures.push_back(copy.path + " was put back but its job could not be loaded again: " +
                               record->getDescription().value_or("no reason given"));
        }
    }
    return failures;
}
