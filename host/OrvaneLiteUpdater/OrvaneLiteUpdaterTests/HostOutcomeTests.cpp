#include "HostTest.h"

namespace {

using namespace kvltest;

struct Outcome {
    bool installedBefore;
    const char* damagedJobTable;  // written over the job table first, when not null
    const char* options;
    int status;
    const char* reported;
    bool verifiedAfter;
};

TEST_F(HostEndToEndTest, InstallReportsWhatReallyHappened) {
    const Outcome cases[] = {
        // The daemons cannot be loaded by the provider: the plug-in's call for a log-off stands.
        {false, nullptr, "--fail launch:1", 3,
         "install: copy helper daemon: job com.orvane.OrvaneLite.CopyHelper is not loaded\n"
         "install: update helper daemon: job com.orvane.OrvaneLite.UpdateHelper is not loaded\n"
         "install failed: a log-off is required to finish: 2 launchd job(s) could not be loaded",
         false},
        // A damaged job table is no matter for a log-off.
        {false, "garbage", "", 1,
         "install: auto-updater agent: launchctl list failed\n"
         "install: copy helper daemon: launchctl list failed\n"
         "install: update helper daemon: launchctl list failed\n"
         "install failed: 3 launchd job(s) are not loaded",
         false},
        // A re-installation that fails keeps the earlier, intact installation.
        {true, nullptr, "--fail copy:3", 1, "install failed: the earlier installation is left as it was", true},
        {false, nullptr, "--fail copy:3", 1, "install: rollback ... done", false},
    };
    for (const Outcome& outcome : cases) {
        ASSERT_EQ(host("uninstall --root " + root()).status, 0);
        fs::remove_all(path("var/run/launchd-standin"));
        if (outcome.installedBefore) {
            ASSERT_EQ(host("install --root " + root()).status, 0);
        }
        if (outcome.damagedJobTable != nullptr) {
            writeFile("var/run/launchd-standin/jobs.plist", outcome.damagedJobTable);
        }
        const HostRun install = host(std::string("install ") + outcome.options + " --root " + root());
        EXPECT_EQ(install.status, outcome.status) << outcome.options << '\n' << install.out;
        EXPECT_NE(install.out.find(outcome.reported), std::string::npos) << outcome.options << '\n' << install.out;
        EXPECT_EQ(install.out.find("log-off") != std::string::npos, outcome.status == 3) << install.out;
        EXPECT_EQ(host("status --verify --root " + root()).status == 0, outcome.verifiedAfter) << outcome.options;
    }
}

}  // namespace
