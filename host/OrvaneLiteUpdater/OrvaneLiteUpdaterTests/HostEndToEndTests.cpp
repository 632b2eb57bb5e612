#include <sys/stat.h>
#include <unistd.h>

#include "HostTest.h"
#include "TestSupport/TreeSnapshot.h"

namespace {

using namespace kvltest;

TEST_F(HostEndToEndTest, InstallThenUninstallLeavesOnlyTheRegistration) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    const HostRun install = host("install --root " + root());  // a second install replaces the jobs
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    EXPECT_NE(install.out.find("install: post-installation ... ok"), std::string::npos) << install.out;
    // Verification compares every file with what the application ships, its mode and owner, and the jobs.
    EXPECT_EQ(host("status --verify --root " + root()).status, 0);
    EXPECT_TRUE(registered());
    const HostRun status = host("status --root " + root());
    EXPECT_NE(status.out.find("job com.orvane.OrvaneLite.CopyHelper: loaded"), std::string::npos) << status.out;

    const HostRun uninstall = host("uninstall --root " + root());
    ASSERT_EQ(uninstall.status, 0) << uninstall.out << uninstall.err;
    for (const char* file : {kUpdaterFolder, kAgent, kCopyHelper, kUpdateHelper}) {
        EXPECT_FALSE(exists(file)) << file;
    }
    EXPECT_EQ(jobs().find("com.orvane"), std::string::npos) << jobs();
    EXPECT_TRUE(registered());

    const HostRun drifted = host("status --verify --root " + root());
    EXPECT_EQ(drifted.status, 1);
    EXPECT_NE(drifted.out.find("copy helper daemon: missing " + path(kCopyHelper)), std::string::npos) << drifted.out;
}

TEST_F(HostEndToEndTest, AnUpdateLeavesTheMachineUntouched) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    // Everything under the root but the host's output and log.
    const auto machine = [&] {
        auto items = snapshotOf(root());
        for (const char* own : {"host.out", "host.err", kLog}) {
            items.erase(path(own));
        }
        return items;
    };
    const auto before = machine();
    const HostRun update = host("update --root " + root());
    EXPECT_EQ(update.status, 0) << update.out << update.err;
    EXPECT_NE(update.out.find("update: done"), std::string::npos);
    EXPECT_EQ(machine(), before);
}

TEST_F(HostEndToEndTest, ARootWithWhiteSpaceIsRefusedAndHelpNeedsNoRoot) {
    const HostRun run = host("install --root '" + root() + "/with space'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("holds white space or a shell metacharacter"), std::string::npos) << run.err;
    EXPECT_FALSE(exists("with space"));
    EXPECT_FALSE(exists(kUpdaterFolder));  // no refused command ran a cycle
    for (const char* command : {"--help", "help install", "uninstall -h"}) {
        const HostRun help = host(command);
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind("usage: 'Orvane Lite Updater' ", 0), 0u) << command;
    }
}

TEST_F(HostTest, StagingReplacesAnEarlierCopyAndSkipsItself) {
    const std::string application = "Applications/Orvane Lite/Orvane Lite Updater.app";
    ASSERT_EQ(host("stage --root " + root()).status, 0);
    writeFile(application + "/Contents/Resources/left over", "from an earlier copy");
    const HostRun again = host("stage --root " + root());
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_FALSE(exists(application + "/Contents/Resources/left over"));

    // The staged host stages nothing over itself.
    const HostRun itself = run(path(application + "/Contents/MacOS/Orvane Lite Updater"), "stage --root " + root());
    EXPECT_EQ(itself.status, 0) << itself.err;
    EXPECT_NE(itself.out.find(" is this application already"), std::string::npos) << itself.out;
    EXPECT_TRUE(exists(application + "/Contents/MacOS/Orvane Lite Updater"));
}

TEST_F(HostTest, EveryCycleButTheUpdateNeedsAStagedApplication) {
    for (const char* command : {"install", "uninstall", "rollback"}) {
        const HostRun run = host(std::string(command) + " --root " + root());
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.out.find(std::string(command) + ": setup ... failed"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(std::string(command) +
                               " failed: the cycle could not be set up; is the updater application staged under the "
                               "root? (log: " +
                               path(kLog) + ")"),
                  std::string::npos)
            << run.out;
    }
    EXPECT_TRUE(logHas("Failed to load Launch Service - Auto updater"));
    EXPECT_FALSE(exists(kUpdaterFolder));

    const HostRun verify = host("status --verify --root " + root());
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find("update helper daemon: the updater application is not staged under the root\n"),
              std::string::npos)
        << verify.out;
    EXPECT_NE(verify.out.find("status: 5 differences"), std::string::npos) << verify.out;
}

TEST_F(HostEndToEndTest, VerifyNamesEachDriftFromWhatTheApplicationShips) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    writeFile(kSchedule, "edited by hand");
    ASSERT_EQ(::chmod(path(kAgent).c_str(), 0600), 0);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a wrong owner needs root to set";
    }
    ASSERT_EQ(::chown(path(kCopyHelper).c_str(), 65534, 65534), 0);
    const HostRun verify = host("status --verify --root " + root());
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find("update schedule: " + path(kSchedule) + " differs from " +
                              path("Applications/Orvane Lite/Orvane Lite Updater.app/Contents/Resources/"
                                   "UpdateScheduler.plist")),
              std::string::npos)
        << verify.out;
    EXPECT_NE(verify.out.find("auto-updater agent: " + path(kAgent) + " has mode 0600, not 0644"), std::string::npos)
        << verify.out;
    EXPECT_NE(verify.out.find("copy helper daemon: " + path(kCopyHelper) + " is owned by 65534:65534, not root:wheel"),
              std::string::npos)
        << verify.out;
    EXPECT_NE(verify.out.find("status: 3 differences"), std::string::npos) << verify.out;
}

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
