#include "HostOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <vector>

namespace {

constexpr std::array<std::string_view, 6> kCommands = {"stage", "install", "uninstall", "update", "rollback", "status"};
// The commands that run a cycle of the plug-in, where provider calls can be made to fail.
constexpr std::array<std::string_view, 4> kCycleCommands = {"install", "uninstall", "update", "rollback"};
// Characters a shell would read as something other than part of a word.
constexpr std::string_view kShellMetacharacters = "\"'`$\\!&|;<>()[]{}*?~#";

template <std::size_t N>
bool isOneOf(const std::array<std::string_view, N>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// The number of single-character edits that turn one word into the other.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string unknownCommand(std::string_view word) {
    std::string problem = "unknown command '" + std::string(word) + "'";
    const auto closest = std::min_element(
        kCommands.begin(), kCommands.end(),
        [&](std::string_view a, std::string_view b) { return editDistance(word, a) < editDistance(word, b); });
    if (editDistance(word, *closest) <= 2) {
        problem += " (did you mean '" + std::string(*closest) + "'?)";
    }
    return problem;
}

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

// An option's names, whether it takes a value, and the commands it belongs to (empty: all).
struct OptionSyntax {
    std::string_view name;
    std::string_view shortName;
    bool takesValue;
    std::vector<std::string_view> commands;
};

const std::vector<OptionSyntax>& optionSyntaxes() {
    static const std::vector<OptionSyntax> kSyntaxes{
        {"--root", "", true, {}},
        {"--fail", "", true, {kCycleCommands.begin(), kCycleCommands.end()}},
        {"--verify", "", false, {"status"}},
        {"--plist", "", false, {"status"}},
        {"--verbose", "-v", false, {}},
        {"--help", "-h", false, {}},
        {"--version", "", false, {}},
    };
    return kSyntaxes;
}

// Records one option; false with the reason in *problem.
bool apply(HostOptions& options, std::string_view name, const std::string& value, std::string* problem) {
    if (name == "--root") {
        options.root = value;
    } else if (name == "--fail") {
        std::pair<HostPrivilegeProvider::Operation, std::size_t> failure;
        if (!parseFailure(value, &failure)) {
            *problem = "--fail takes OP or OP:N with OP one of copy, attributes, remove, launch and N >= 1, not '" +
                       value + "'";
            return false;
        }
        options.failures.push_back(failure);
    } else if (name == "--verify") {
        options.verify = true;
    } else if (name == "--plist") {
        options.plist = true;
    } else if (name == "--verbose") {
        options.verbose = true;
    } else if (name == "--help") {
        options.help = true;
    } else {
        options.version = true;
    }
    return true;
}

}  // namespace

std::optional<HostOptions> HostOptions::parse(const std::vector<std::string>& arguments, std::string* problem) {
    HostOptions options;
    std::vector<const OptionSyntax*> given;
    bool helpCommand = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!argument.starts_with("-")) {
            if (options.command.empty() && !helpCommand && argument == "help") {
                helpCommand = true;
                options.help = true;
            } else if (!options.command.empty()) {
                *problem = "unexpected argument '" + argument + "'";
                return std::nullopt;
            } else if (!isOneOf(kCommands, argument)) {
                *problem = unknownCommand(argument);
                return std::nullopt;
            } else {
                options.command = argument;
            }
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        const auto syntax =
            std::find_if(optionSyntaxes().begin(), optionSyntaxes().end(), [&](const OptionSyntax& candidate) {
                return candidate.name == name || (!candidate.shortName.empty() && candidate.shortName == name);
            });
        if (syntax == optionSyntaxes().end()) {
            *problem = "unknown option '" + std::string(name) + "'";
            return std::nullopt;
        }
        std::string value;
        if (!syntax->takesValue && equals != std::string::npos) {
            *problem = std::string(syntax->name) + " takes no value";
            return std::nullopt;
        }
        if (syntax->takesValue && equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (syntax->takesValue) {
            if (i + 1 == arguments.size()) {
                *problem = std::string(syntax->name) + " needs a value";
                return std::nullopt;
            }
            value = arguments[++i];
        }
        if (syntax->name != "--fail" && std::find(given.begin(), given.end(), &*syntax) != given.end()) {
            *problem = std::string(syntax->name) + " is given more than once";
            return std::nullopt;
        }
        given.push_back(&*syntax);
        if (!apply(options, syntax->name, value, problem)) {
            return std::nullopt;
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.command.empty()) {
        *problem = "no command given";
        return std::nullopt;
    }
    for (const OptionSyntax* syntax : given) {
        if (!syntax->commands.empty() &&
            std::find(syntax->commands.begin(), syntax->commands.end(), options.command) == syntax->commands.end()) {
            *problem = std::string(syntax->name) + " does not belong to the " + options.command + " command";
            return std::nullopt;
        }
    }
    if (options.plist && options.verify) {
        *problem = "--plist and --verify cannot be given together";
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
        return "usage: 'Orvane Lite Updater' stage --root DIR [-v]\n"
               "Copies this updater application into DIR/Applications/Orvane Lite/: the new copy is built\n"
               "beside an earlier one and renamed into its place. The root is created when missing.\n";
    }
    if (command == "install") {
        return "usage: 'Orvane Lite Updater' install --root DIR [--fail OP[:N]]... [-v]\n"
               "Runs the install cycle under DIR: setup, pre-installation, installation, post-installation,\n"
               "cleanup; a failed installation is rolled back. Stage the application first.\n"
               "Exit status: 0 installed, 1 a step failed, 2 usage, 3 log-off required.\n";
    }
    if (command == "uninstall") {
        return "usage: 'Orvane Lite Updater' uninstall --root DIR [--fail OP[:N]]... [-v]\n"
               "Runs the uninstall cycle under DIR: setup, pre-uninstallation, uninstallation,\n"
               "post-uninstallation, cleanup; then names anything installed that is still there (exit 1).\n";
    }
    if (command == "update") {
        return "usage: 'Orvane Lite Updater' update --root DIR [--fail OP[:N]]... [-v]\n"
               "Runs the update assistant's cycle under DIR; it changes nothing on the machine.\n";
    }
    if (command == "rollback") {
        return "usage: 'Orvane Lite Updater' rollback --root DIR [--fail OP[:N]]... [-v]\n"
               "Sets up an installation under DIR and rolls it back: the jobs are unloaded and unregistered.\n";
    }
    if (command == "status") {
        return "usage: 'Orvane Lite Updater' status --root DIR [--verify | --plist]\n"
               "Shows the settings files, the installed property lists with owner and mode, the jobs loaded\n"
               "in the launchd stand-in and the auto-updater's registration under DIR. With --verify, compares\n"
               "them with what the staged application ships, prints one line per difference and exits 1 when\n"
               "anything has drifted. With --plist, writes the same as an XML property list to standard\n"
               "output. Exits 1 when the state cannot be read.\n";
    }
    return "usage: 'Orvane Lite Updater' COMMAND --root DIR [options]\n"
           "       'Orvane Lite Updater' help [COMMAND]\n"
           "       'Orvane Lite Updater' --version\n"
           "Commands:\n"
           "  stage       copy this updater application into the root\n"
           "  install     install the updater's machine-level parts\n"
           "  uninstall   remove them\n"
           "  update      run the update assistant's cycle\n"
           "  rollback    set up an installation and roll it back\n"
           "  status      show what is installed (--verify: compare with what the application ships)\n"
           "  help        this text, or one command's\n"
           "Options (--opt VALUE or --opt=VALUE; only --fail may be repeated):\n"
           "  --root DIR     the sandbox root standing for the machine's '/' (required; no white space or\n"
           "                 shell metacharacters)\n"
           "  --fail OP[:N]  make the N-th call (every call without N) of a privilege-provider operation\n"
           "                 fail; OP is copy, attributes, remove or launch\n"
           "  --verify       status: compare with what the application ships\n"
           "  --plist        status: an XML property list on standard output\n"
           "  -v, --verbose  info lines on standard error too, not only the steps and errors\n"
           "  -h, --help     this text; COMMAND --help tells about one command\n"
           "  --version      the version\n"
           "Every command but status holds the root's lock (DIR/var/run/OrvaneLiteUpdater.lock) while it\n"
           "runs and gives up after waiting 10 s for another updater command on the same root.\n"
           "Exit status: 0 success, 1 a step failed or status differs, 2 usage, 3 log-off required.\n";
}

std::string HostOptions::versionText() { return std::string("Orvane Lite Updater ") + KVL_VERSION + "\n"; }
