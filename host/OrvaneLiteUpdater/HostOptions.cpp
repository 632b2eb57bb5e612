#include "HostOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 6> kCommands = {"stage", "install", "uninstall", "update", "rollback", "status"};
// Characters a shell would read as something other than part of a word.
constexpr std::string_view kShellMetacharacters = "\"'`$\\!&|;<>()[]{}*?~#";

bool isCommand(std::string_view word) { return std::find(kCommands.begin(), kCommands.end(), word) != kCommands.end(); }

// "copy", "copy:3": the operation and the call number (0 when none is given).
bool parseFailure(std::string_view text, std::pair<HostPrivilegeProvider::Operation, std::size_t>* failure) {
    const std::size_t colon = text.find(':');
    if (!HostPrivilegeProvider::operationNamed(std::string(text.substr(0, colon)), &failure->first)) {
        return false;
    }
    failure->second = 0;
    if (colon == std::string_view::npos) {
        return true;
    }
    const std::string_view number = text.substr(colon + 1);
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), failure->second);
    return error == std::errc() && end == number.data() + number.size() && failure->second > 0;
}

}  // namespace

std::optional<HostOptions> HostOptions::parse(const std::vector<std::string>& arguments, std::string* problem) {
    HostOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--root" || argument == "--fail") {
            if (i + 1 == arguments.size()) {
                *problem = argument + " needs a value";
                return std::nullopt;
            }
            const std::string& value = arguments[++i];
            if (argument == "--root") {
                options.root = value;
            } else {
                std::pair<HostPrivilegeProvider::Operation, std::size_t> failure;
                if (!parseFailure(value, &failure)) {
                    *problem = "--fail takes OP or OP:N with OP one of copy, attributes, remove, launch and N >= 1, not '" +
                               value + "'";
                    return std::nullopt;
                }
                options.failures.push_back(failure);
            }
        } else if (argument == "--verify") {
            options.verify = true;
        } else if (options.command.empty() && isCommand(argument)) {
            options.command = argument;
        } else {
            *problem = "unexpected argument '" + argument + "'";
            return std::nullopt;
        }
    }
    if (options.help) {
        return options;
    }
    if (options.command.empty()) {
        *problem = "no command given";
        return std::nullopt;
    }
    if (options.verify && options.command != "status") {
        *problem = "--verify belongs to the status command";
        return std::nullopt;
    }
    if (options.root.empty()) {
        *problem = "--root is required (give --root / to work on this machine itself)";
        return std::nullopt;
    }
    return options;
}

bool HostOptions::isAcceptableRoot(const std::string& root, std::string* problem) {
    if (root.empty() || root.front() != '/') {
        *problem = "the root '" + root + "' is not an absolute path";
        return false;
    }
    const auto bad = std::find_if(root.begin(), root.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' ||
               kShellMetacharacters.find(c) != std::string_view::npos;
    });
    if (bad != root.end()) {
        *problem = "the root '" + root +
                   "' holds white space or a shell metacharacter; launchctl command lines carry paths unquoted";
        return false;
    }
    return true;
}

std::string HostOptions::usage(const std::string& command) {
    if (command == "stage") {
        return "usage: Orvane Lite Updater stage --root DIR\n"
               "Copies this updater application into DIR/Applications/Orvane Lite/, replacing an earlier copy.\n"
               "The root is created when missing.\n";
    }
    if (command == "install") {
        return "usage: Orvane Lite Updater install --root DIR [--fail OP[:N]]...\n"
               "Runs the install cycle under DIR: setup, pre-installation, installation, post-installation,\n"
               "cleanup; a failed installation is rolled back. Stage the application first.\n"
               "Exit status: 0 installed, 1 a step failed, 2 usage, 3 log-off required.\n";
    }
    if (command == "uninstall") {
        return "usage: Orvane Lite Updater uninstall --root DIR [--fail OP[:N]]...\n"
               "Runs the uninstall cycle under DIR: setup, pre-uninstallation, uninstallation,\n"
               "post-uninstallation, cleanup; then names anything installed that is still there (exit 1).\n";
    }
    if (command == "update") {
        return "usage: Orvane Lite Updater update --root DIR [--fail OP[:N]]...\n"
               "Runs the update assistant's cycle under DIR; it changes nothing on the machine.\n";
    }
    if (command == "rollback") {
        return "usage: Orvane Lite Updater rollback --root DIR [--fail OP[:N]]...\n"
               "Sets up an installation under DIR and rolls it back: the jobs are unloaded and unregistered.\n";
    }
    if (command == "status") {
        return "usage: Orvane Lite Updater status --root DIR [--verify]\n"
               "Shows the settings files, the installed property lists with owner and mode, the jobs loaded\n"
               "in the launchd stand-in and the auto-updater's registration under DIR. With --verify, compares\n"
               "them with what the staged application ships, prints one line per difference and exits 1 when\n"
               "anything has drifted.\n";
    }
    return "usage: Orvane Lite Updater COMMAND --root DIR [options]\n"
           "Commands:\n"
           "  stage       copy this updater application into the root\n"
           "  install     install the updater's machine-level parts\n"
           "  uninstall   remove them\n"
           "  update      run the update assistant's cycle\n"
           "  rollback    set up an installation and roll it back\n"
           "  status      show what is installed (--verify: compare with what the application ships)\n"
           "Options:\n"
           "  --root DIR     the sandbox root standing for the machine's '/' (required; no white space or\n"
           "                 shell metacharacters)\n"
           "  --fail OP[:N]  make the N-th call (every call without N) of a privilege-provider operation\n"
           "                 fail; OP is copy, attributes, remove or launch; may be repeated\n"
           "  --help         this text; COMMAND --help tells about one command\n"
           "Every command but status holds the root's lock (DIR/var/run/OrvaneLiteUpdater.lock) while it\n"
           "runs and gives up after waiting 10 s for another updater command on the same root.\n"
           "Exit status: 0 success, 1 a step failed or status differs, 2 usage or a root that cannot be\n"
           "used, 3 log-off required.\n";
}
