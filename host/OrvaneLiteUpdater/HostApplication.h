#pragma once

#include <ostream>
#include <string>

// The updater application this host runs from: "<app>/Contents/MacOS/<host>", with the
// plug-in bundle and the launchd stand-in beside it.
class HostApplication {
public:
    // The application holding the running executable.
    static HostApplication current();
    explicit HostApplication(std::string bundlePath) : bundlePath_(std::move(bundlePath)) {}

    const std::string& bundlePath() const { return bundlePath_; }
    // "<app>/Contents/MacOS": the host and the launchd stand-in.
    std::string executablesFolder() const;
    // "<app>/Contents/Resources/UpdateAssistant.bundle".
    std::string pluginBundlePath() const;

    // Copies the application to "<root>/Applications/Orvane Lite/<name>.app", replacing an
    // earlier copy; false with the reason written to err.
    bool stageInto(const std::string& root, std::ostream& out, std::ostream& err) const;

private:
    std::string bundlePath_;
};
