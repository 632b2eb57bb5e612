#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "HostPrivilegeProvider.h"

// The host's command line: "<command> --root DIR [--fail OP[:N]]... [--verify]" or a help
// request.
struct HostOptions {
    std::string command;
    std::string root;
    bool help = false;
    bool verify = false;
    // Provider calls to fail: the operation and the call number (0: every call).
    std::vector<std::pair<HostPrivilegeProvider::Operation, std::size_t>> failures;

    // Null, with a one-line reason in *problem, for a command line that is not understood.
    static std::optional<HostOptions> parse(const std::vector<std::string>& arguments, std::string* problem);
    // Whether root can be used as a sandbox root: absolute after resolution, and free of white
    // space and shell metacharacters, since launchctl command lines carry paths unquoted.
    static bool isAcceptableRoot(const std::string& root, std::string* problem);

    // The general usage text, or a command's own.
    static std::string usage(const std::string& command = "");
};
