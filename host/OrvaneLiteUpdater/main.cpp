// The host updater: loads the update assistant plug-in from its own application and drives it
// against a sandbox root that stands for the machine.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "AssistantPlugin.h"
#include "HostApplication.h"
#include "HostCycles.h"
#include "HostExitStatus.h"
#include "HostLogger.h"
#include "HostOptions.h"
#include "HostPrivilegeProvider.h"
#include "HostStatus.h"
#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "Platform/Layout.h"

namespace {

constexpr char kProgram[] = "Orvane Lite Updater";
constexpr char kLogFile[] = "Library/Logs/OrvaneLiteUpdater.log";

int usageError(const std::string& problem) {
    std::cerr << kProgram << ": " << problem << "\nTry '" << kProgram << " --help'." << std::endl;
    return HostExitUsage;
}

// The root as an absolute, normalized path without a trailing slash.
std::string absoluteRoot(const std::string& root) {
    std::string absolute = std::filesystem::absolute(root).lexically_normal().string();
    while (absolute.size() > 1 && absolute.back() == '/') {
        absolute.pop_back();
    }
    return absolute;
}

// Points the process, and the commands it runs, at the root: the layout, the launchd
// stand-in beside this program first on the PATH, and the stand-in's job table.
void enterRoot(const std::string& root, const HostApplication& application) {
    platform::Layout::set(platform::Layout::underRoot(root));
    const char* path = std::getenv("PATH");
    const std::string searchPath = application.executablesFolder() + (path != nullptr ? std::string(":") + path : "");
    ::setenv("PATH", searchPath.c_str(), 1);
    ::setenv("KVL_LAUNCHD_ROOT", root.c_str(), 1);
}

int runCycle(const HostOptions& options, const std::string& root, const HostApplication& application) {
    const auto logger =
        std::make_shared<HostLogger>(KVLLogLevelInfo, platform::Layout::current().pathUnderRoot(kLogFile));
    platform::Error rootError;
    const auto confinedRoot = platform::ConfinedRoot::open(root, &rootError);
    if (!confinedRoot) {
        std::cerr << kProgram << ": " << rootError.localizedDescription << std::endl;
        return HostExitUsage;
    }
    const auto provider = std::make_shared<HostPrivilegeProvider>(confinedRoot, logger);
    for (const auto& [operation, call] : options.failures) {
        provider->failCall(operation, call);
    }
    std::string problem;
    const auto plugin = AssistantPlugin::load(application.pluginBundlePath(), &problem);
    if (!plugin) {
        std::cerr << kProgram << ": " << problem << std::endl;
        return HostExitFailure;
    }
    HostCycles cycles(*plugin, provider, logger, std::cout);
    if (options.command == "install") {
        return cycles.install();
    }
    if (options.command == "uninstall") {
        return cycles.uninstall();
    }
    if (options.command == "update") {
        return cycles.update();
    }
    return cycles.rollback();
}

}  // namespace

int main(int argc, char* argv[]) {
    std::string problem;
    const auto options = HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc), &problem);
    if (!options) {
        return usageError(problem);
    }
    if (options->help) {
        std::cout << HostOptions::usage(options->command);
        return HostExitSuccess;
    }
    const std::string root = absoluteRoot(options->root);
    if (!HostOptions::isAcceptableRoot(root, &problem)) {
        return usageError(problem);
    }
    const HostApplication application = HostApplication::current();
    if (options->command == "stage") {
        std::error_code error;
        std::filesystem::create_directories(root, error);
        return application.stageInto(root, std::cout, std::cerr) ? HostExitSuccess : HostExitFailure;
    }
    if (!std::filesystem::is_directory(root)) {
        return usageError("the root " + root + " is not a folder; create it or run stage first");
    }
    enterRoot(root, application);
    if (options->command == "status") {
        HostStatus status(KVLUpdaterConfigService::sharedInstance()->updaterPathHelper(), std::cout);
        return options->verify ? status.verify() : status.show();
    }
    return runCycle(*options, root, application);
}
