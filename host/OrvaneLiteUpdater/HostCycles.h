#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "AssistantPlugin.h"
#include "HostStatus.h"
#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "LoggerService/IKVLLogger.h"

// Drives the plug-in's assistants through their cycles in the order they expect, printing each
// step and its outcome, and answers the host's exit status. Install and uninstall end by
// looking at what they left (the status check), so that the status tells what really happened.
class HostCycles {
public:
    HostCycles(const AssistantPlugin& plugin, std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
               std::shared_ptr<IKVLLogger> logger, HostStatus& status, std::ostream& out);

    // Setup, pre-installation, installation (rolled back when it fails, and then an earlier
    // install that it was replacing put back as it was), post-installation,
    // cleanup. The cleanup follows every setup, a failed one included. Each job left unloaded
    // is named; the plug-in's call for a log-off is passed on (status 3) only when unloaded
    // jobs are all that is wrong.
    int install();
    // Fails, naming each, when anything the updater installs is still there afterwards.
    int uninstall();
    int update();
    // An installation's setup followed by its rollback.
    int rollback();

private:
    // Prints "<command>: <step> ... ok" or "... failed" and answers ok.
    bool step(const std::string& name, bool ok);
    void done(const std::string& name);
    // The one-line reason, and the failure status.
    int fail(const std::string& reason, int status);
    // Prints each line under the command's name.
    void report(const std::vector<std::string>& lines);

    const AssistantPlugin& plugin_;
    std::shared_ptr<IKVLAdminPrivilegeProvider> provider_;
    std::shared_ptr<IKVLLogger> logger_;
    HostStatus& status_;
    std::ostream& out_;
    std::string command_;
};
