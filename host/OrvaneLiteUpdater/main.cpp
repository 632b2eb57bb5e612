// The host updater: loads the update assistant plug-in from its own application and drives it
// against a sandbox root that stands for the machine.

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
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
#include "Platform/ConfinedRoot.h"
#include "Platform/Console.h"
#include "Platform/FileLock.h"
#include "Platform/Layout.h"

namespace {

constexpr char kProgram[] = "Orvane Lite Updater";
constexpr char kLogFolder[] = "Library/Logs";
constexpr char kLogName[] = "OrvaneLiteUpdater.log";
constexpr char kLockFile[] = "var/run/OrvaneLiteUpdater.lock";
// How long a command waits for another one on the same root; the environment variable, in
// milliseconds, shortens it for tests.
constexpr std::chrono::milliseconds kLockWait(10000);
constexpr char kLockWaitVariable[] = "KVL_UPDATER_LOCK_WAIT_MS";

int usageError(const std::string& problem) {
    std::cerr << kProgram << ": " << problem << "\nTry '" << kProgram << " --help'." << std::endl;
    return HostExitUsage;
}

int failure(const std::string& problem) {
    std::cerr << kProgram << ": " << problem << std::endl;
    return HostExitFailure;
}

// The root as an absolute, normalized path without a trailing slash.
std::string absoluteRoot(const std::string& root) {
    std::error_code ignored;
    std::string absolute = std::filesystem::absolute(root, ignored).lexically_normal().string();
    while (absolute.size() > 1 && absolute.back() == '/') {
        absolute.pop_back();
    }
    return absolute;
}

// The root opened once; null after printing the one-line reason it cannot be used.
std::shared_ptr<const platform::ConfinedRoot> openRoot(const std::string& root) {
    platform::Error error;
    auto confined = platform::ConfinedRoot::open(root, &error);
    if (!confined) {
        const auto& cause = error.underlyingError;
        const int code = cause != nullptr && cause->domain == platform::kPOSIXErrorDomain ? int(cause->code) : 0;
        std::cerr << kProgram << ": the root " << root
                  << (code == ENOENT || code == ENOTDIR
                          ? std::string(" is not a folder; create it or run stage first")
                          : " cannot be used: " +
                                (code != 0 ? std::string(std::strerror(code)) : error.localizedDescription))
                  << std::endl;
    }
    return confined;
}

std::chrono::milliseconds lockWait() {
    const char* wait = std::getenv(kLockWaitVariable);
    return wait != nullptr && *wait != '\0' ? std::chrono::milliseconds(std::strtoll(wait, nullptr, 10)) : kLockWait;
}

// The root's lock, held for the whole command; null after printing why it could not be taken.
std::unique_ptr<platform::FileLock> lockRoot(const platform::ConfinedRoot& root) {
    platform::Error error;
    auto lock = platform::FileLock::acquireBeneath(root, kLockFile, lockWait(), &error);
    if (!lock) {
        const bool held = error.domain == platform::kPOSIXErrorDomain && error.code == EWOULDBLOCK;
        failure(held ? std::string("another updater command is using this root")
                     : "cannot lock the root: " + error.localizedDescription);
    }
    return lock;
}

// The host's log under the root, with the command's header line; null after printing why not.
std::shared_ptr<HostLogger> openLog(const platform::ConfinedRoot& root, const std::vector<std::string>& arguments,
                                    bool verbose) {
    platform::Error error;
    const std::string displayPath = root.path() + "/" + kLogFolder + "/" + kLogName;
    int folder = -1;
    if (root.createDirectory(kLogFolder, true, {}, &error)) {
        folder = root.openFile(kLogFolder, O_RDONLY | O_DIRECTORY, 0, &error);
    }
    if (folder < 0) {
        failure("cannot open the log " + displayPath + ": " + error.localizedDescription);
        return nullptr;
    }
    std::string problem;
    auto logger = HostLogger::open(KVLLogLevelInfo, verbose ? KVLLogLevelInfo : KVLLogLevelError, folder, kLogName,
                                   displayPath, &problem);
    if (!logger) {
        failure(problem);
        return nullptr;
    }
    std::string header = kProgram;
    for (const std::string& argument : arguments) {
        header += " " + argument;
    }
    logger->logHeader(header);
    return logger;
}

// Points the process, and the commands it runs, at the root: the layout, the launchd
// stand-in beside this program first on the PATH (or the folder KVL_LAUNCHCTL_DIR names, whose
// launchctl then runs instead), and the stand-in's root.
void enterRoot(const std::string& root, const HostApplication& application) {
    platform::Layout::set(platform::Layout::underRoot(root));
    const char* path = std::getenv("PATH");
    const char* launchctlFolder = std::getenv("KVL_LAUNCHCTL_DIR");
    const std::string searchPath = (launchctlFolder != nullptr ? launchctlFolder : application.executablesFolder()) +
                                   (path != nullptr ? std::string(":") + path : "");
    ::setenv("PATH", searchPath.c_str(), 1);
    ::setenv("KVL_LAUNCHD_ROOT", root.c_str(), 1);
}

int runCycle(const HostOptions& options, const std::shared_ptr<const platform::ConfinedRoot>& root,
             const HostApplication& application, const std::vector<std::string>& arguments) {
    const auto logger = openLog(*root, arguments, options.verbose);
    if (!logger) {
        return HostExitFailure;
    }
    // The plug-in's console lines go to the log as info lines: on standard error only with -v.
    platform::Console::setSink([logger](std::string_view message) {
        logger->logMessage("%@", KVLLogLevelInfo, "Console", 0, std::string(message));
    });
    const auto provider = std::make_shared<HostPrivilegeProvider>(root, logger);
    for (const auto& [operation, call] : options.failures) {
        provider->failCall(operation, call);
    }
    std::string problem;
    const auto plugin = AssistantPlugin::load(application.pluginBundlePath(), &problem);
    if (!plugin) {
        return failure(problem);
    }
    HostStatus status(KVLUpdaterConfigService::sharedInstance()->updaterPathHelper(), root, std::cout);
    HostCycles cycles(*plugin, provider, logger, status, std::cout);
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
    // A file-size limit makes writes fail with EFBIG, reported, instead of killing the host.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string problem;
    const auto options = HostOptions::parse(arguments, &problem);
    if (!options) {
        return usageError(problem);
    }
    if (options->help) {
        std::cout << HostOptions::usage(options->command);
        return HostExitSuccess;
    }
    if (options->version) {
        std::cout << HostOptions::versionText();
        return HostExitSuccess;
    }
    const std::string root = absoluteRoot(options->root);
    if (!HostOptions::isAcceptableRoot(root, &problem)) {
        return usageError(problem);
    }
    const HostApplication application = HostApplication::current();
    if (options->command == "stage") {
        std::error_code ignored;
        std::filesystem::create_directories(root, ignored);
    }
    const auto confined = openRoot(root);
    if (!confined) {
        return HostExitUsage;
    }
    if (options->command == "status") {
        enterRoot(root, application);
        HostStatus status(KVLUpdaterConfigService::sharedInstance()->updaterPathHelper(), confined, std::cout);
        return options->plist ? status.plist() : options->verify ? status.verify() : status.show();
    }
    const auto lock = lockRoot(*confined);
    if (!lock) {
        return HostExitFailure;
    }
    if (options->command == "stage") {
        return application.stageInto(*confined, std::cout, std::cerr) ? HostExitSuccess : HostExitFailure;
    }
    enterRoot(root, application);
    return runCycle(*options, confined, application, arguments);
}
