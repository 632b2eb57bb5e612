// The launchd stand-in: loads and unloads jobs into a job table kept under a root, so that
// the updater's launchctl calls can be observed on a machine without launchd.

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "LaunchdJobTable.h"

namespace {

// EX_USAGE.
constexpr int kUsageStatus = 64;
constexpr char kRootVariable[] = "KVL_LAUNCHD_ROOT";

constexpr std::string_view kUsage =
    "usage: launchctl load PATH\n"
    "       launchctl unload PATH\n"
    "       launchctl list\n"
    "The root is the folder that stands for the machine's '/', taken from the environment\n"
    "variable KVL_LAUNCHD_ROOT (an absolute path; required, so that the stand-in never works on\n"
    "the machine itself by mistake). The job table is ROOT/var/run/launchd-standin/jobs.plist;\n"
    "load and unload refuse a property list outside ROOT.\n";

int usageError(std::string_view problem) {
    std::cerr << "launchctl: " << problem << " (usage: launchctl load|unload PATH, launchctl list; see --help)\n";
    return kUsageStatus;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A file-size limit makes writes fail with EFBIG, reported, instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) {
        return usageError("missing command");
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command != "list" && command != "load" && command != "unload") {
        return usageError("unknown command");
    }
    if (command == "list" ? argc != 2 : argc != 3) {
        return usageError(command == "list" ? "list takes no argument"
                          : argc < 3        ? "missing property list path"
                                            : "too many arguments");
    }
    const char* root = std::getenv(kRootVariable);
    if (root == nullptr || *root != '/') {
        return usageError(std::string(kRootVariable) + " must name the root, as an absolute path");
    }
    const LaunchdJobTable table(root);
    if (command == "list") {
        return table.list(std::cout, std::cerr);
    }
    return command == "load" ? table.load(argv[2], std::cerr) : table.unload(argv[2], std::cerr);
}
