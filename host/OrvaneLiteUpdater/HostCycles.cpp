#include "HostCycles.h"

#include <vector>

#include "HostExitStatus.h"
#include "HostInstallBackup.h"
#include "Platform/PlistValue.h"

namespace {

// Setting up a cycle fails when the plug-in cannot find what the updater application ships.
constexpr char kSetupFailed[] = "the cycle could not be set up; is the updater application staged under the root?";

}  // namespace

HostCycles::HostCycles(const AssistantPlugin& plugin, std::shared_ptr<IKVLAdminPrivilegeProvider> provider,
                       std::shared_ptr<IKVLLogger> logger, HostStatus& status, std::ostream& out)
    : plugin_(plugin), provider_(std::move(provider)), logger_(std::move(logger)), status_(status), out_(out) {}

bool HostCycles::step(const std::string& name, bool ok) {
    out_ << command_ << ": " << name << " ... " << (ok ? "ok" : "failed") << std::endl;
    return ok;
}

void HostCycles::done(const std::string& name) { out_ << command_ << ": " << name << " ... done" << std::endl; }

int HostCycles::fail(const std::string& reason, int status) {
    out_ << command_ << " failed: " << reason << " (log: " << logger_->getLogFilePath().value_or("none") << ")"
         << std::endl;
    return status;
}

void HostCycles::report(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        out_ << command_ << ": " << line << '\n';
    }
}

int HostCycles::install() {
    command_ = "install";
    const auto assistant = plugin_.createInstallAssistant();
    std::vector<std::string> advices;
    bool restartRequired = false;
    bool logoffRequired = false;
    if (!step("setup", assistant->setupInstallation(provider_, logger_, std::nullopt))) {
        assistant->cleanupInstallation();
        done("cleanup");
        return fail(kSetupFailed, HostExitFailure);
    }
    if (!step("pre-installation", assistant->performPreInstallationAndAdvice(advices))) {
        assistant->cleanupInstallation();
        done("cleanup");
        return fail("pre-installation failed", HostExitFailure);
    }
    const HostInstallBackup earlier(status_);
    if (!step("installation", assistant->installAndRestartRequired(&restartRequired, &logoffRequired))) {
        assistant->rollbackInstallation();
        done("rollback");
        const std::vector<std::string> notRestored = earlier.restore(*provider_);
        if (!earlier.empty()) {
            step("restore of the earlier install", notRestored.empty());
            report(notRestored);
        }
        assistant->cleanupInstallation();
        done("cleanup");
        return fail(earlier.empty()       ? "installation failed and was rolled back"
                    : notRestored.empty() ? "installation failed; the earlier install was put back"
                                          : "installation failed and the earlier install could not all be put back",
                    HostExitFailure);
    }
    const bool posted = step("post-installation",
                             assistant->performPostInstallationAndAdvices(advices, &restartRequired, &logoffRequired));
    assistant->cleanupInstallation();
    done("cleanup");
    bool listed = false;
    const std::vector<std::string> notLoaded = status_.jobsNotLoaded(&listed);
    report(notLoaded);
    if (const auto unregistered = HostStatus::registrationProblem()) {
        report({*unregistered});
        return fail("the auto-updater application is not registered", HostExitFailure);
    }
    // A log-off loads jobs that could not be loaded now; it mends nothing else.
    const bool onlyJobsAreDown = listed && !notLoaded.empty();
    if ((logoffRequired || restartRequired) && onlyJobsAreDown) {
        return fail(std::string(logoffRequired ? "a log-off" : "a restart") + " is required to finish: " +
                        std::to_string(notLoaded.size()) + " launchd job(s) could not be loaded",
                    HostExitLogoffRequired);
    }
    if (!posted || !notLoaded.empty()) {
        return fail(notLoaded.empty() ? std::string("post-installation failed")
                    : onlyJobsAreDown ? std::to_string(notLoaded.size()) + " launchd job(s) are not loaded"
                                      : std::string("the launchd jobs cannot be listed"),
                    HostExitFailure);
    }
    out_ << "install: done" << std::endl;
    return HostExitSuccess;
}

int HostCycles::uninstall() {
    command_ = "uninstall";
    const auto assistant = plugin_.createInstallAssistant();
    std::vector<std::string> advices;
    bool restartRequired = false;
    bool logoffRequired = false;
    const bool setUp = step("setup", assistant->setupUninstallation(provider_, logger_));
    const bool ok = setUp && step("pre-uninstallation", assistant->performPreUninstallationAndAdvice(advices)) &&
                    step("uninstallation", assistant->uninstallAndRestartRequired(&restartRequired, &logoffRequired));
    if (ok) {
        assistant->performPostUninstallation();
        done("post-uninstallation");
    }
    assistant->cleanupUninstallation();
    done("cleanup");
    if (!setUp) {
        return fail(kSetupFailed, HostExitFailure);
    }
    if (!ok) {
        return fail("the uninstallation could not be carried out", HostExitFailure);
    }
    const std::vector<std::string> left = status_.remains();
    if (!left.empty()) {
        report(left);
        return fail(std::to_string(left.size()) + " installed item(s) could not be removed", HostExitFailure);
    }
    out_ << "uninstall: done" << std::endl;
    return HostExitSuccess;
}

int HostCycles::update() {
    command_ = "update";
    const auto assistant = plugin_.createUpdateAssistant();
    bool restartRequired = false;
    bool logoffRequired = false;
    bool skipAllPatches = false;
    bool ok = step("setup", assistant->setupUpdate(provider_, logger_));
    if (ok) {
        platform::PlistDictionary dependencies;
        assistant->isDependentOn(dependencies);
        std::vector<std::string> prerequisites;
        assistant->checkPreRequisite(prerequisites);
        ok = step("unload component", assistant->unloadComponent()) &&
             step("post-update of patches", assistant->performPostUpdateOfPatchesWithRestartRequired(
                                                &restartRequired, &logoffRequired, &skipAllPatches)) &&
             step("load component", assistant->loadComponentWithRestartRequired(&restartRequired, &logoffRequired));
    }
    assistant->cleanupUpdate();
    done("cleanup");
    if (!ok) {
        return fail("the update cycle failed", HostExitFailure);
    }
    if (logoffRequired || restartRequired) {
        return fail(std::string(logoffRequired ? "a log-off" : "a restart") + " is required", HostExitLogoffRequired);
    }
    out_ << "update: done" << std::endl;
    return HostExitSuccess;
}

int HostCycles::rollback() {
    command_ = "rollback";
    const auto assistant = plugin_.createInstallAssistant();
    const bool ok = step("setup", assistant->setupInstallation(provider_, logger_, std::nullopt));
    if (ok) {
        assistant->rollbackInstallation();
        done("rollback");
    }
    assistant->cleanupInstallation();
    done("cleanup");
    if (!ok) {
        return fail(kSetupFailed, HostExitFailure);
    }
    out_ << "rollback: done" << std::endl;
    return HostExitSuccess;
}
