#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "AssistantPlugin.h"
#include "KVLSharedUtil/IKVLAdminPrivilegeProvider.h"
#include "LoggerService/IKVLLogger.h"

// Drives the plug-in's assistants through their cycles in the order they expect, printing each
// step and its outcome, and answers the host's exit status.
class HostCycles {
public:
    HostCycles(const AssistantPlugin& plugin, std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
               std::shared_ptr<IKVLLogger> logger, std::ostream& out);

    // Setup, pre-installation, installation (rolled back when it fails), post-installation,
    // cleanup. The cleanup follows every setup, a failed one included.
    int install();
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

    const AssistantPlugin& plugin_;
    std::shared_ptr<IKVLAdminPrivilegeProvider> provider_;
    std::shared_ptr<IKVLLogger> logger_;
    std::ostream& out_;
    std::string command_;
};
