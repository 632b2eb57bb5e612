#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"
#include "TestSupport/ConsoleCapture.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingLogger.h"
#include "TestSupport/RecordingPrivilegeProvider.h"
#include "TestSupport/TemporaryRoot.h"

namespace kvltest {

// A temporary root with the updater application staged in it, a launchctl on the PATH that
// only echoes its command line and fails, a recording provider and logger, and no service loaded.
class AssistantTest : public TemporaryRootTest {
protected:
    static constexpr char kApplication[] = "Applications/Orvane Lite/Orvane Lite Updater.app";
    static constexpr char kUpdaterFolder[] = "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater";

    AssistantTest() {
        unloadAllServices();
        const std::string resources = std::string(kApplication) + "/Contents/Resources/";
        writeBundle(kApplication, "com.orvane.OrvaneLite.Updater");
        const std::string job = "LaunchServices/com.orvane.OrvaneLite.";
        for (const std::string& file : {std::string("UpdaterSystemPreferences"), std::string("UpdateScheduler"),
                                        job + "AutoUpdater", job + "CopyHelper", job + "UpdateHelper"}) {
            writeFile(resources + file + ".plist", file);
        }
        writeBundle(resources + "Orvane Lite Auto Updater.app", "com.orvane.OrvaneLite.AutoUpdater");
        writeFile("bin/launchctl", "#!/bin/sh\necho \"launchctl $*\"\nexit 3\n");
        ::chmod(path("bin/launchctl").c_str(), 0755);
        previousPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        ::setenv("PATH", (path("bin") + ":" + previousPath_).c_str(), 1);
        refreshPaths();
    }
    ~AssistantTest() override {
        unloadAllServices();
        ::setenv("PATH", previousPath_.c_str(), 1);
    }

    // The configuration service's paths, taken afresh from this test's root.
    static void refreshPaths() {
        KVLUpdaterConfigService::sharedInstance()->setMUpdaterPathHelper(std::make_shared<KVLUpdaterPathHelper>());
    }
    std::string resource(const std::string& name) const {
        return path(std::string(kApplication) + "/Contents/Resources/" + name);
    }

    std::shared_ptr<RecordingPrivilegeProvider> provider = std::make_shared<RecordingPrivilegeProvider>();
    std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
    ConsoleCapture console;

private:
    std::string previousPath_;
};

}  // namespace kvltest
