#include "HostInstallBackup.h"

#include "Platform/Format.h"

HostInstallBackup::HostInstallBackup(HostStatus& status) : root_(status.root()), copies_(status.installedCopies()) {}

std::vector<std::string> HostInstallBackup::restore(IKVLAdminPrivilegeProvider& provider) const {
    std::vector<std::string> failures;
    for (const HostStatus::InstalledCopy& copy : copies_) {
        platform::Error error;
        platform::FileAttributeChanges owner;
        owner.ownerAccountID = copy.attributes.ownerAccountID;
        owner.groupOwnerAccountID = copy.attributes.groupOwnerAccountID;
        // The permission bits only: a put-back file is never made set-id.
        if (!root_->writeFile(copy.path, copy.contents, copy.attributes.posixPermissions & 0777, &error) ||
            !root_->setAttributes(owner, copy.path, &error)) {
            failures.push_back(copy.path + " could not be put back: " + error.localizedDescription);
            continue;
        }
        // The provider logs why a command failed.
        if (copy.jobLoaded && !provider.launchCommand("launchctl load " + platform::shellQuoted(copy.path), nullptr)) {
            failures.push_back(copy.path + " was put back but its job could not be loaded again (see the log)");
        }
    }
    return failures;
}
