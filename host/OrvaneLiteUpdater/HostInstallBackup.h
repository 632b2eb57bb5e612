#pragma once

#include <memory>
#include <string>
#include <vector>

#include "HostStatus.h"
#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "Platform/ConfinedRoot.h"

// What an installation is about to replace, kept in memory so that a failed one can be undone.
// The plug-in's rollback unloads the jobs and removes their property lists, so without this
// a re-install that fails (a full disk, say) would leave less than there was before it.
class HostInstallBackup {
public:
    // Keeps each installed file that is there (contents, mode, owner) and whether its job is loaded.
    explicit HostInstallBackup(HostStatus& status);

    // Whether nothing was installed.
    bool empty() const { return copies_.empty(); }
    // Writes every kept file back atomically with its mode and owner, then loads through the
    // provider each job that was loaded; one line for each file or job not put back.
    std::vector<std::string> restore(IKVLAdminPrivilegeProvider& provider) const;

private:
    std::shared_ptr<const platform::ConfinedRoot> root_;
    std::vector<HostStatus::InstalledCopy> copies_;
};
