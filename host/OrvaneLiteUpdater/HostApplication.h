#pragma once

#include <ostream>
#include <string>

#include "Platform/ConfinedRoot.h"

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
    // earlier copy; false with the reason written to err. The copy is built beside the old
    // one and renamed into place, all through the confined root: a folder on the way that
    // leads out of the root is refused, and a link in the copy's place is replaced, never
    // followed.
    bool stageInto(const platform::ConfinedRoot& root, std::ostream& out, std::ostream& err) const;

private:
    std::string bundlePath_;
};
