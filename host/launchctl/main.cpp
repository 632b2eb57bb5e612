// The launchd stand-in: loads and unloads jobs into a job table kept under the layout root,
// so that the updater's launchctl calls can be observed on a machine without launchd.

#include <cstdlib>
#include <iostream>
#include <string_view>

#include "LaunchdJobTable.h"

namespace {

// EX_USAGE.
constexpr int kUsageStatus = 64;

constexpr std::string_view kUsage =
    "usage: launchctl load PATH\n"
    "       launchctl unload PATH\n"
    "       launchctl list\n";

int usageError(std::string_view problem) {
    std::cerr << "launchctl: " << problem << " (usage: launchctl load|unload PATH, launchctl list)\n";
    return kUsageStatus;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        return usageError("missing command");
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "list") {
        if (argc != 2) {
            return usageError("list takes no argument");
        }
        const char* root = std::getenv("KVL_LAUNCHD_ROOT");
        return LaunchdJobTable(root != nullptr && *root != '\0' ? root : "/").list(std::cout, std::cerr);
    }
    if (command == "load" || command == "unload") {
        if (argc != 3) {
            return usageError(argc < 3 ? "missing property list path" : "too many arguments");
        }
        const std::string path = argv[2];
        const LaunchdJobTable table(LaunchdJobTable::rootForPropertyListPath(path));
        return command == "load" ? table.load(path, std::cerr) : table.unload(path, std::cerr);
    }
    return usageError("unknown command");
}
