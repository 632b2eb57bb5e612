#include <sys/stat.h>
#include <unistd.h>

#include "HostTest.h"

namespace {

using namespace kvltest;

TEST_F(HostEndToEndTest, InstallThenUninstallLeavesOnlyTheRegistration) {
    const HostRun install = host("install --root " + root());
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    EXPECT_NE(install.out.find("install: post-installation ... ok"), std::string::npos) << install.out;
    for (const char* file : {kPreferences, kSchedule, kAgent, kCopyHelper, kUpdateHelper}) {
        struct stat info {};
        ASSERT_EQ(::stat(path(file).c_str(), &info), 0) << file;
        EXPECT_EQ(info.st_mode & 07777, 0644u) << file;
    }
    EXPECT_EQ(readFile(kPreferences), readFile("Applications/Orvane Lite/Orvane Lite Updater.app/Contents/Resources/"
                                               "UpdaterSystemPreferences.plist"));
    for (const char* label : {"com.orvane.OrvaneLite.AutoUpdater", "com.orvane.OrvaneLite.CopyHelper",
                              "com.orvane.OrvaneLite.UpdateHelper"}) {
        EXPECT_TRUE(loaded(label)) << label;
    }
    EXPECT_TRUE(registered());
    const HostRun verified = host("status --verify --root " + root());
    EXPECT_EQ(verified.status, 0) << verified.out;
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
    EXPECT_NE(drifted.out.find("copy helper daemon: job com.orvane.OrvaneLite.CopyHelper is not loaded"),
              std::string::npos);
}

TEST_F(HostEndToEndTest, InstallingTwiceReplacesTheJobs) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    const HostRun again = host("install --root " + root());
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(host("status --verify --root " + root()).status, 0);
}

TEST_F(HostEndToEndTest, RollbackKeepsTheSettingsAndUnloadsTheJobs) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    const HostRun rollback = host("rollback --root " + root());
    EXPECT_EQ(rollback.status, 0) << rollback.out << rollback.err;
    EXPECT_TRUE(logHas("KVLFileOperationHelper - No files to delete"));
    EXPECT_TRUE(exists(kPreferences));
    EXPECT_TRUE(exists(kSchedule));
    EXPECT_FALSE(exists(kAgent));
    EXPECT_EQ(jobs().find("com.orvane"), std::string::npos);
}

TEST_F(HostEndToEndTest, UninstallPassesOverEveryFailure) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    const HostRun uninstall = host("uninstall --fail remove --fail launch --root " + root());
    EXPECT_EQ(uninstall.status, 1) << uninstall.out << uninstall.err;
    for (const std::string& line :
         {"uninstall: copy helper daemon: " + path(kCopyHelper) + " is still there\n",
          std::string("uninstall: copy helper daemon: job com.orvane.OrvaneLite.CopyHelper is still loaded\n"),
          "uninstall: updater folder: " + path(kUpdaterFolder) + " is still there\n",
          std::string("uninstall failed: 8 installed item(s) could not be removed")}) {
        EXPECT_NE(uninstall.out.find(line), std::string::npos) << line << uninstall.out;
    }
    EXPECT_TRUE(exists(kUpdaterFolder));
    EXPECT_TRUE(exists(kCopyHelper));
    // The agent's file work is the provider's too; only its unload ran in process.
    EXPECT_TRUE(exists(kAgent));
    EXPECT_FALSE(loaded("com.orvane.OrvaneLite.AutoUpdater"));
    EXPECT_TRUE(loaded("com.orvane.OrvaneLite.CopyHelper"));
}

TEST_F(HostEndToEndTest, AnUpdateLeavesTheMachineUntouched) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    const auto before = snapshot();
    const HostRun update = host("update --root " + root());
    EXPECT_EQ(update.status, 0) << update.out << update.err;
    EXPECT_NE(update.out.find("update: done"), std::string::npos);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(HostEndToEndTest, BadCommandLinesAndRootsAreRefused) {
    const std::pair<std::string, std::string> refused[] = {
        {"instal --root " + root(), "unknown command 'instal' (did you mean 'install'?)"},
        {"install --root '" + root() + "/with space'", "holds white space or a shell metacharacter"},
        {"stage --root '" + root() + "/a$b'", "holds white space or a shell metacharacter"},
        {"install --root " + root() + "/none", "is not a folder"},
    };
    for (const auto& [arguments, message] : refused) {
        const HostRun run = host(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.err.find(message), std::string::npos) << arguments << ": " << run.err;
    }
    EXPECT_FALSE(exists("with space"));
    EXPECT_FALSE(exists("a$b"));
    EXPECT_FALSE(exists(kUpdaterFolder));  // no refused command ran a cycle
    for (const char* command : {"--help", "help", "stage --help", "help install", "uninstall -h", "help update",
                                "rollback --help", "help status"}) {
        const HostRun help = host(command);
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind("usage: 'Orvane Lite Updater' ", 0), 0u) << command;
    }
}

TEST_F(HostTest, StagingReplacesAnEarlierCopySkipsItselfAndReportsABlockedFolder) {
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

    // A file where the application's folder belongs: the copy fails and the file stays as it was.
    fs::remove_all(path("Applications/Orvane Lite"));
    writeFile("Applications/Orvane Lite", "a file, not a folder");
    const HostRun blocked = host("stage --root " + root());
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("stage: cannot copy "), std::string::npos) << blocked.err;
    EXPECT_EQ(readFile("Applications/Orvane Lite"), "a file, not a folder");
}

TEST_F(HostTest, EveryCycleButTheUpdateNeedsAStagedApplication) {
    for (const char* command : {"install", "uninstall", "rollback"}) {
        const HostRun run = host(std::string(command) + " --root " + root());
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.out.find(std::string(command) + ": setup ... failed"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(std::string(command) +
                               " failed: the cycle could not be set up; is the updater application staged under the "
                               "root? (log: " + path(kLog) + ")"),
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
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chown(path(kCopyHelper).c_str(), 65534, 65534), 0);
    }
    HostRun verify = host("status --verify --root " + root());
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find("update schedule: " + path(kSchedule) + " differs from " +
                              path("Applications/Orvane Lite/Orvane Lite Updater.app/Contents/Resources/"
                                   "UpdateScheduler.plist")),
              std::string::npos)
        << verify.out;
    EXPECT_NE(verify.out.find("auto-updater agent: " + path(kAgent) + " has mode 0600, not 0644"), std::string::npos)
        << verify.out;
    if (asRoot) {
        EXPECT_NE(verify.out.find("copy helper daemon: " + path(kCopyHelper) + " is owned by 65534:65534, not root:wheel"),
                  std::string::npos)
            << verify.out;
    }
    EXPECT_NE(verify.out.find(asRoot ? "status: 3 differences" : "status: 2 differences"), std::string::npos)
        << verify.out;

    // A job table that cannot be read leaves every job's state unknown.
    writeFile("var/run/launchd-standin/jobs.plist", "damaged");
    verify = host("status --verify --root " + root());
    EXPECT_EQ(verify.status, 1);
    for (const char* job : {"auto-updater agent", "copy helper daemon", "update helper daemon"}) {
        EXPECT_NE(verify.out.find(std::string(job) + ": launchctl list failed"), std::string::npos) << verify.out;
    }
}

}  // namespace
