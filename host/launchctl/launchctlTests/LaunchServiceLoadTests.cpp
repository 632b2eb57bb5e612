#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "ErrorService/KVLCreateInternalError.h"
#include "KVLSharedUtil/KVLLaunchService.h"
#include "LaunchdJobTable.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingPrivilegeProvider.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

// The launch service's in-process load and unload of a machine agent, against the stand-in.
class LaunchServiceLoadTest : public kvltest::TemporaryRootTest {
protected:
    LaunchServiceLoadTest() {
        previousPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        ::setenv("PATH", (std::string(KVL_LAUNCHCTL_DIR) + ":" + previousPath_).c_str(), 1);
        ::setenv("KVL_LAUNCHD_ROOT", root().c_str(), 1);
    }
    ~LaunchServiceLoadTest() override {
        ::setenv("PATH", previousPath_.c_str(), 1);
        ::unsetenv("KVL_LAUNCHD_ROOT");
    }

    std::string jobs() const {
        std::ostringstream out, err;
        LaunchdJobTable(root()).list(out, err);
        return out.str();
    }

    kvltest::ServicesWithRecordingLogger services;

private:
    std::string previousPath_;
};

TEST_F(LaunchServiceLoadTest, AMachineAgentIsLoadedAndUnloadedInProcess) {
    const std::string job =
        "<plist version=\"1.0\"><dict><key>Label</key><string>com.orvane.OrvaneLite.AutoUpdater</string>"
        "<key>ProgramArguments</key><array><string>/bin/true</string></array></dict></plist>";
    writeFile("app/com.orvane.OrvaneLite.AutoUpdater.plist", job);
    writeFile("Library/LaunchAgents/com.orvane.OrvaneLite.AutoUpdater.plist", job);
    const auto provider = std::make_shared<kvltest::RecordingPrivilegeProvider>();
    KVLLaunchService agent(KVLLaunchServiceTypeUserAgent,
                           platform::URL::fileURLWithPath(path("app/com.orvane.OrvaneLite.AutoUpdater.plist")),
                           provider);
    const auto record = KVLCreateInternalError();

    agent.loadServiceWithError(record.get());
    EXPECT_EQ(jobs(), "PID\tStatus\tLabel\n-\t0\tcom.orvane.OrvaneLite.AutoUpdater\n");
    // Loading again fails in the stand-in; the service only logs what it printed.
    agent.loadServiceWithError(record.get());
    agent.unloadServiceWithError(record.get());
    EXPECT_EQ(jobs(), "PID\tStatus\tLabel\n");

    EXPECT_TRUE(record->isSuccess());
    EXPECT_TRUE(provider->calls().empty());
    EXPECT_EQ(services.logger->messages(),
              (std::vector<std::string>{"LoadService output ", "LoadService output ", "LoadService output "}));
}

}  // namespace
