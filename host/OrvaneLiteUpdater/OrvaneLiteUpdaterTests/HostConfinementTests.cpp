#include <sys/stat.h>
#include <unistd.h>

#include "HostTest.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/TreeSnapshot.h"

namespace {

using namespace kvltest;

constexpr char kApplication[] = "Applications/Orvane Lite/Orvane Lite Updater.app";

struct Planted {
    const char* where;   // under the root
    const char* target;  // under the outside folder for a link; null for a FIFO
    const char* command;
    int status;
    const char* message;  // found in the command's output or errors
};

TEST_F(HostTest, LinksAndFifosPlantedWhereTheHostWritesNeverLeadOutOfTheRootNorHangIt) {
    // The outside folder's own mode and owner are watched too, through its parent.
    const std::string machine = path("machine"), outside = path("away/outside");
    const Planted cases[] = {
        {"Library/Logs", "", "install", 1, "cannot open the log "},
        {kLog, "keep", "install", 1, "log: it is a symbolic link\n"},
        {kLog, nullptr, "install", 1, "log: it is not a regular file\n"},
        {"var/run", "", "install", 1, "cannot lock the root: "},
        {"var/run/OrvaneLiteUpdater.lock", "keep", "install", 1, "cannot lock the root: "},
        {"var/run/OrvaneLiteUpdater.lock", nullptr, "install", 1, "cannot lock the root: "},
        {"var/run/launchd-standin", "", "install", 1, "launchctl list failed"},
        {"var/run/launchd-standin/jobs.plist", nullptr, "install", 1, "launchctl list failed"},
        {"Library/Preferences", "", "install", 1, "install failed: the auto-updater application is not registered"},
        {"Library/Preferences/com.orvane.lsregister.plist", nullptr, "install", 1, "is not registered"},
        {kCopyHelper, nullptr, "status --verify", 1, "CopyHelper.plist” couldn’t be opened because it is a FIFO"},
        {"Applications/Orvane Lite", "", "stage", 1, "stage: cannot copy "},
        {kApplication, "", "stage", 0, "Orvane Lite Updater.app ... ok"},
    };
    for (const Planted& planted : cases) {
        fs::remove_all(machine);
        fs::remove_all(outside);
        ASSERT_EQ(host("stage --root " + machine).status, 0);
        writeFile(outside + "/keep", "outside the root");
        const fs::path where = machine + "/" + planted.where;
        fs::remove_all(where);
        fs::create_directories(where.parent_path());
        if (planted.target == nullptr) {
            ASSERT_EQ(::mkfifo(where.c_str(), 0644), 0) << planted.where;
        } else {
            fs::create_symlink(outside + "/" + planted.target, where);
        }
        const auto before = snapshotOf(path("away"));
        // A host that waits on a FIFO is stopped (status 124) rather than hanging the test.
        const HostRun run =
            this->run("timeout", "10 '" KVL_HOST_PATH "' " + std::string(planted.command) + " --root " + machine);
        EXPECT_EQ(run.status, planted.status) << planted.where << '\n' << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(planted.message), std::string::npos) << planted.where << '\n'
                                                                                << run.out << run.err;
        EXPECT_EQ(snapshotOf(path("away")), before) << planted.where;
    }
    EXPECT_TRUE(fs::is_directory(machine + "/" + kApplication + "/Contents/MacOS"));
}

// A failed re-install puts back only the regular files it found, never what a planted link
// pointed at (here a file only root may read), nor a set-id bit; a job it cannot load again
// is named.
TEST_F(HostEndToEndTest, AFailedReinstallPutsBackNoLinkTargetAndNoSetIDBit) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    writeFile("secret", "for root only");
    fs::permissions(path("secret"), fs::perms::owner_read);
    fs::remove(path(kCopyHelper));
    fs::create_symlink("../../secret", path(kCopyHelper));
    fs::permissions(path(kAgent), fs::perms::set_uid, fs::perm_options::add);
    const HostRun run = host("install --fail copy:4 --root " + root());
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_FALSE(fs::exists(fs::symlink_status(path(kCopyHelper)))) << run.out;
    EXPECT_EQ(fs::status(path(kAgent)).permissions(), fs::perms(0644));
    // A job put back that cannot be loaded again is named.
    const HostRun reload = host("install --fail copy:4 --fail launch:4 --root " + root());
    EXPECT_EQ(reload.status, 1);
    EXPECT_NE(reload.out.find(" was put back but its job could not be loaded again (see the log)\n"), std::string::npos)
        << reload.out;
    EXPECT_NE(reload.out.find("install failed: installation failed and the earlier install could not all be put back"),
              std::string::npos);
}

TEST_F(HostTest, RootsThatCannotBeExaminedAreRefusedWithOneLine) {
    fs::create_symlink("loop", path("loop"));
    writeFile("file", "not a folder");
    fs::create_directories(path("closed/machine"));
    ::chmod(path("closed").c_str(), 0700);
    // One root for each of the two messages; the causes themselves are the confined root's tests'.
    for (const std::string& machine : {path("loop"), path("file")}) {
        for (const char* command : {"status", "install"}) {
            const HostRun run = host(std::string(command) + " --root " + machine);
            EXPECT_EQ(run.status, 2) << command << ' ' << machine;
            EXPECT_EQ(run.err.rfind("Orvane Lite Updater: the root " + machine, 0), 0u) << run.err;
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        }
    }
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a folder that may not be entered needs root to switch to nobody";
    }
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::chmod(root().c_str(), 0711);
    const int status = runAsNobody([&] {
        ::dup2(pipeEnds[1], STDERR_FILENO);
        const int exit = std::system(("'" KVL_HOST_PATH "' status --root " + path("closed/machine")).c_str());
        return WIFEXITED(exit) ? WEXITSTATUS(exit) : 125;
    });
    ::close(pipeEnds[1]);
    char line[512] = {};
    EXPECT_GT(::read(pipeEnds[0], line, sizeof line - 1), 0);
    ::close(pipeEnds[0]);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(std::string(line),
              "Orvane Lite Updater: the root " + path("closed/machine") + " cannot be used: Permission denied\n");
}

}  // namespace
