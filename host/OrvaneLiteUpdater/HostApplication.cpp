#include "HostApplication.h"

#include <filesystem>
#include <system_error>

#include "Platform/Bundle.h"

namespace fs = std::filesystem;

HostApplication HostApplication::current() {
    const auto bundle = platform::Bundle::mainBundle();
    return HostApplication(bundle ? bundle->bundlePath() : fs::current_path().string());
}

std::string HostApplication::executablesFolder() const { return bundlePath_ + "/Contents/MacOS"; }

std::string HostApplication::pluginBundlePath() const { return bundlePath_ + "/Contents/Resources/UpdateAssistant.bundle"; }

bool HostApplication::stageInto(const std::string& root, std::ostream& out, std::ostream& err) const {
    const fs::path destination = fs::path(root) / "Applications/Orvane Lite" / fs::path(bundlePath_).filename();
    std::error_code error;
    if (fs::equivalent(bundlePath_, destination, error)) {
        out << "stage: " << destination.string() << " is this application already" << std::endl;
        return true;
    }
    // A fresh copy beside the old one, then swapped in, so a failed copy leaves the old one.
    const fs::path fresh = destination.string() + ".staging";
    fs::remove_all(fresh, error);
    fs::create_directories(destination.parent_path(), error);
    if (!error) {
        fs::copy(bundlePath_, fresh, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    }
    if (!error) {
        fs::remove_all(destination, error);
    }
    if (!error) {
        fs::rename(fresh, destination, error);
    }
    if (error) {
        err << "stage: cannot copy " << bundlePath_ << " to " << destination.string() << ": " << error.message()
            << std::endl;
        std::error_code ignored;
        fs::remove_all(fresh, ignored);
        return false;
    }
    out << "stage: " << destination.string() << " ... ok" << std::endl;
    return true;
}
