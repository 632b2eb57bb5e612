#include "Platform/Task.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <fstream>
#include <thread>

#include "TestSupport/TaskChild.h"

// Exit statuses and output of a plain run are checked through the command runner's tests.
namespace {

using namespace std::chrono_literals;
using platform::Task;

// Whether the process ends (or is a zombie, which has ended) within two seconds.
bool endsSoon(int pid) {
    for (int tries = 0; tries < 200; ++tries, std::this_thread::sleep_for(10ms)) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.at(line.rfind(')') + 2) == 'Z') {
            return true;
        }
    }
    return false;
}

TEST(Task, ReadsWhileWaitingSoALargeOutputNeverBlocksTheChild) {
    constexpr std::size_t kSize = 1 << 20;
    Task task("/bin/sh", {"-c", kvltest::childWritingCommand(kSize)});
    ASSERT_EQ(task.launch(), std::nullopt);
    ASSERT_TRUE(task.waitUntilExit(30s));
    EXPECT_EQ(task.terminationStatus(), 0);
    const std::string output = task.readStandardOutputToEnd(1s);
    ASSERT_EQ(output.size(), kSize);
    EXPECT_EQ(output, kvltest::childOutput(kSize));
}

TEST(Task, TerminateEndsTheChildEvenWhenTheHostIgnoresSIGTERMAndKillEndsOneThatIgnoresIt) {
    // The child starts with default signal actions, whatever the host set for itself.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGTERM, &ignore, &previous), 0);
    Task terminated("/bin/sh", {"-c", "exec sleep 10"});
    const auto launched = terminated.launch();
    sigaction(SIGTERM, &previous, nullptr);
    ASSERT_EQ(launched, std::nullopt);
    Task killed("/bin/sh", {"-c", "trap '' TERM; exec sleep 10"});
    ASSERT_EQ(killed.launch(), std::nullopt);

    EXPECT_FALSE(terminated.waitUntilExit(100ms));
    EXPECT_TRUE(terminated.isRunning());
    terminated.terminate();
    killed.terminate();
    ASSERT_TRUE(terminated.waitUntilExit(10s));
    EXPECT_EQ(terminated.terminationStatus(), SIGTERM);
    EXPECT_FALSE(killed.waitUntilExit(300ms));
    killed.kill();
    ASSERT_TRUE(killed.waitUntilExit(10s));
    EXPECT_EQ(killed.terminationStatus(), SIGKILL);
}

TEST(Task, NoticesTheChildsEndWhileAnotherProcessHoldsItsOutput) {
    Task task("/bin/sh", {"-c", "sleep 1 & echo started"});
    ASSERT_EQ(task.launch(), std::nullopt);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(task.waitUntilExit(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_EQ(task.terminationStatus(), 0);
    // The background sleep keeps the pipe open: reading stops at the timeout with what came.
    EXPECT_EQ(task.readStandardOutputToEnd(100ms), "started\n");
}

TEST(Task, GivingUpOnAChildEndsEveryProcessItStarted) {
    // Each prints the pid of a background process, then waits for it: a process that outlives
    // SIGTERM, and a shell that outlives it but ends with the process it waits for.
    for (const char* shellLine : {"(trap '' TERM; exec sleep 30) & echo $!; wait",
                                  "trap '' TERM; (trap - TERM; exec sleep 30) & echo $!; wait"}) {
        Task task("/bin/sh", {"-c", shellLine});
        ASSERT_EQ(task.launch(), std::nullopt);
        // The background process keeps the output open: reading stops at the timeout.
        const int background = std::stoi(task.readStandardOutputToEnd(500ms));
        task.terminate();
        ASSERT_TRUE(task.waitUntilExit(2s)) << shellLine;
        EXPECT_TRUE(endsSoon(background)) << shellLine;
    }
}

TEST(Task, LaunchFailuresAreReported) {
    Task missing("/nonexistent/program", {});
    const auto error = missing.launch();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, ENOENT);
    EXPECT_FALSE(missing.isRunning());

    Task twice("/bin/sh", {"-c", "true"});
    ASSERT_EQ(twice.launch(), std::nullopt);
    const auto again = twice.launch();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->code, EALREADY);
}

}  // namespace
