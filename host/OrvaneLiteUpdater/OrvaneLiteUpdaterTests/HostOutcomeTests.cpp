#include "HostTest.h"

namespace {

using namespace kvltest;

struct Outcome {
    const char* jobTable;  // written over the job table first, when not null
    const char* options;
    int status;
    const char* reported;
};

TEST_F(HostEndToEndTest, InstallReportsWhatReallyHappened) {
    const Outcome cases[] = {
        // The daemons cannot be loaded by the provider: the plug-in's call for a log-off stands.
        {nullptr, "--fail launch:1", 3,
         "install: copy helper daemon: job com.orvane.OrvaneLite.CopyHelper is not loaded\n"
         "install: update helper daemon: job com.orvane.OrvaneLite.UpdateHelper is not loaded\n"
         "install failed: a log-off is required to finish: 2 launchd job(s) could not be loaded"},
        // A damaged job table is no matter for a log-off.
        {"garbage", "", 1,
         "install: auto-updater agent: launchctl list failed\n"
         "install: copy helper daemon: launchctl list failed\n"
         "install: update helper daemon: launchctl list failed\n"
         "install failed: the launchd jobs cannot be listed"},
    };
    for (const Outcome& outcome : cases) {
        fs::remove_all(path("var/run/launchd-standin"));
        ASSERT_EQ(host("uninstall --root " + root()).status, 0);
        if (outcome.jobTable != nullptr) {
            writeFile("var/run/launchd-standin/jobs.plist", outcome.jobTable);
        }
        const HostRun install = host(std::string("install ") + outcome.options + " --root " + root());
        EXPECT_EQ(install.status, outcome.status) << outcome.options << '\n' << install.out;
        EXPECT_NE(install.out.find(outcome.reported), std::string::npos) << outcome.options << '\n' << install.out;
        EXPECT_EQ(install.out.find("log-off") != std::string::npos, outcome.status == 3) << install.out;
    }
}

TEST_F(HostEndToEndTest, AFileSizeLimitFailsLogWritesWithAMessageInsteadOfKillingTheHost) {
    // The limit (two 512-byte blocks) holds for the host alone; its output goes through a pipe.
    const HostRun run = this->run("/bin/sh", "-c '(ulimit -f 2; exec \"" KVL_HOST_PATH "\" install --root " + root() +
                                                 ") 2>&1 | cat'");
    EXPECT_NE(run.out.find("cannot write the log " + path(kLog) + ": File too large\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("install: done\n"), std::string::npos) << run.out;
}

}  // namespace
