#include "Platform/ApplicationDatabase.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "Platform/Bundle.h"
#include "Platform/PathUtilities.h"

namespace platform {

namespace {

// The executable a process runs, as /proc/<pid>/exe names it; null for a process that ended,
// one we may not look at, or one whose executable file was removed.
std::optional<std::string> executableOfProcess(int pid) {
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
        return std::nullopt;
    }
    target.resize(static_cast<std::size_t>(length));
    constexpr std::string_view kDeleted = " (deleted)";
    if (target.ends_with(kDeleted)) {
        return std::nullopt;
    }
    return target;
}

std::vector<int> processIdentifiers() {
    std::vector<int> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            pids.push_back(std::atoi(name.c_str()));
        }
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

}  // namespace

std::vector<ApplicationDatabase::RunningApplication> ApplicationDatabase::runningApplicationsWithBundleIdentifier(
    std::string_view bundleIdentifier) {
    std::vector<RunningApplication> running;
    for (const int pid : processIdentifiers()) {
        const std::optional<std::string> executable = executableOfProcess(pid);
        if (!executable) {
            continue;
        }
        const std::string bundlePath = Bundle::bundlePathForModule(*executable);
        if (bundlePath == PathUtilities::stringByDeletingLastPathComponent(*executable)) {
            continue;  // not in a bundle's Contents/MacOS
        }
        const std::shared_ptr<Bundle> bundle = Bundle::bundleWithPath(bundlePath);
        const auto declared = bundle ? bundle->objectForInfoDictionaryKey("CFBundleExecutable") : std::nullopt;
        if (!bundle || bundle->bundleIdentifier() != bundleIdentifier || !declared || declared->string() == nullptr ||
            *declared->string() != PathUtilities::lastPathComponent(*executable)) {
            continue;
        }
        running.push_back({pid, *bundle->bundleIdentifier(), URL::fileURLWithPath(bundle->bundlePath(), true),
                           URL::fileURLWithPath(*executable, false)});
    }
    return running;
}

}  // namespace platform
