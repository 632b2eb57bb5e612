#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "HostPrivilegeProvider.h"

// The host's command line: "COMMAND --root DIR [options]", "help [COMMAND]", "--help" or
// "--version". An option takes its value as "--opt VALUE" or "--opt=VALUE"; only --fail may be
// given more than once.
struct HostOptions {
    std::string command;
    std::string root;
    bool help = false;
    bool version = false;
    // Info lines on standard error too, not only the steps and errors.
    bool verbose = false;
    bool verify = false;
    // status writes an XML property list to standard output instead of its lines.
    bool plist = false;
    // Provider calls to fail: the operation and the call number (0: every call).
    std::vector<std::pair<HostPrivilegeProvider::Operation, std::size_t>> failures;

    // Null, with a one-line reason in *problem, for a command line that is not understood.
    static std::optional<HostOptions> parse(const std::vector<std::string>& arguments, std::string* problem);
    // Whether root can be used as a sandbox root: absolute after resolution, and free of white
    // space and shell metacharacters, since launchctl command lines carry paths unquoted.
    static bool isAcceptableRoot(const std::string& root, std::string* problem);

    // The general usage text, or a command's own. Usage lines can be pasted into a shell.
    static std::string usage(const std::string& command = "");
    // "Orvane Lite Updater <version>".
    static std::string versionText();
};
