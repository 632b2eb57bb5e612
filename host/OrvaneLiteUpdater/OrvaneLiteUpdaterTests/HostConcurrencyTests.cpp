#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <random>
#include <thread>
#include <utility>

#include "HostTest.h"

namespace {

using namespace kvltest;

TEST_F(HostEndToEndTest, ACommandWaitsForTheRootsLockAndGivesUpClearly) {
    fs::create_directories(path("var/run"));
    const int held = ::open(path("var/run/OrvaneLiteUpdater.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    for (const char* command : {"stage", "install"}) {
        const HostRun run = this->run(
            "env", "KVL_UPDATER_LOCK_WAIT_MS=200 '" KVL_HOST_PATH "' " + std::string(command) + " --root " + root());
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.err, "Orvane Lite Updater: another updater command is using this root\n") << command;
    }
    EXPECT_FALSE(exists(kAgent));
    ::close(held);
    EXPECT_EQ(host("install --root " + root()).status, 0);
}

// Two commands at once on one root end as if run one after the other: whatever order won,
// an uninstall then cleans the root and an install then verifies.
TEST_F(HostEndToEndTest, StressConcurrentCommandPairsLeaveARootThatUninstallAndVerifyHandle) {
    const std::pair<const char*, const char*> pairs[] = {{"install", "uninstall"}, {"update", "rollback"}};
    for (int round = 0; round < 4; ++round) {
        for (const auto& [first, second] : pairs) {
            int statuses[2] = {-1, -1};
            std::thread other([&, second = second] {
                statuses[1] = std::system(
                    ("'" KVL_HOST_PATH "' " + std::string(second) + " --root " + root() + " >/dev/null 2>&1").c_str());
            });
            statuses[0] = std::system(
                ("'" KVL_HOST_PATH "' " + std::string(first) + " --root " + root() + " >/dev/null 2>&1").c_str());
            other.join();
            for (const int status : statuses) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << first << " / " << second;
            }
            const HostRun uninstall = host("uninstall --root " + root());
            ASSERT_EQ(uninstall.status, 0) << first << " / " << second << '\n' << uninstall.out;
            ASSERT_EQ(host("install --root " + root()).status, 0);
            const HostRun verify = host("status --verify --root " + root());
            ASSERT_EQ(verify.status, 0) << verify.out;
        }
    }
}

// Install and uninstall killed at random moments leave a root that the next install verifies
// and the next uninstall clears, with no empty property list and no temporary left over.
TEST_F(HostEndToEndTest, StressCommandsKilledAnywhereLeaveARootThatInstallAndUninstallHandle) {
    std::mt19937 random(4242);
    for (int round = 0; round < 40; ++round) {
        const char* command = round % 2 == 0 ? "install" : "uninstall";
        const pid_t host = ::fork();
        ASSERT_GE(host, 0);
        if (host == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            ::execl(KVL_HOST_PATH, KVL_HOST_PATH, command, "--root", root().c_str(), nullptr);
            ::_exit(127);
        }
        ::usleep(random() % 150000);
        ::kill(host, SIGKILL);
        ::waitpid(host, nullptr, 0);
        for (const auto& entry : fs::recursive_directory_iterator(root())) {
            ASSERT_FALSE(entry.path().extension() == ".plist" && entry.is_regular_file() && entry.file_size() == 0)
                << round << ' ' << entry.path();
        }
    }
    ASSERT_EQ(host("install --root " + root()).status, 0);
    const HostRun verify = host("status --verify --root " + root());
    EXPECT_EQ(verify.status, 0) << verify.out;
    ASSERT_EQ(host("uninstall --root " + root()).status, 0);
    for (const auto& entry : fs::recursive_directory_iterator(root())) {
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
}

}  // namespace
