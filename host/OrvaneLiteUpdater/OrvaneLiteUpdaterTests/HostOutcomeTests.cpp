#include "HostTest.h"

namespace {

using namespace kvltest;

TEST_F(HostEndToEndTest, InstallReportsWhatReallyHappened) {
    // A damaged job table is no matter for a log-off.
    writeFile("var/run/launchd-standin/jobs.plist", "garbage");
    const HostRun install = host("install --root " + root());
    EXPECT_EQ(install.status, 1) << install.out;
    EXPECT_NE(install.out.find("install: auto-updater agent: launchctl list failed\n"
                               "install: copy helper daemon: launchctl list failed\n"
                               "install: update helper daemon: launchctl list failed\n"
                               "install failed: the launchd jobs cannot be listed"),
              std::string::npos)
        << install.out;
    EXPECT_EQ(install.out.find("log-off"), std::string::npos) << install.out;
}

TEST_F(HostEndToEndTest, AFileSizeLimitFailsLogWritesWithAMessageInsteadOfKillingTheHost) {
    // The limit (two 512-byte blocks) holds for the host alone; its output goes through a pipe.
    const HostRun run =
        this->run("/bin/sh", "-c '(ulimit -f 2; exec \"" KVL_HOST_PATH "\" install --root " + root() + ") 2>&1 | cat'");
    EXPECT_NE(run.out.find("cannot write the log " + path(kLog) + ": File too large\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("install: done\n"), std::string::npos) << run.out;
}

}  // namespace
