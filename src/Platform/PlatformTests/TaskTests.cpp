#include "Platform/Task.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>

#include "TestSupport/TaskChild.h"

namespace {

using namespace std::chrono_literals;
using platform::Task;
using platform::TaskTerminationReason;

TEST(Task, ReportsExitStatusAndOutput) {
    Task task("/bin/sh", {"-c", "printf 'first\\nsecond'; exit 3"});
    EXPECT_EQ(task.processIdentifier(), -1);
    ASSERT_EQ(task.launch(), std::nullopt);
    EXPECT_GT(task.processIdentifier(), 0);
    ASSERT_TRUE(task.waitUntilExit(10s));
    EXPECT_FALSE(task.isRunning());
    EXPECT_EQ(task.terminationStatus(), 3);
    EXPECT_EQ(task.terminationReason(), TaskTerminationReason::Exit);
    EXPECT_EQ(task.readStandardOutputToEnd(1s), "first\nsecond");
    EXPECT_EQ(task.readStandardOutputToEnd(1s), "");

    Task killed("/bin/sh", {"-c", "echo before; kill -KILL $$; echo after"});
    ASSERT_EQ(killed.launch(), std::nullopt);
    ASSERT_TRUE(killed.waitUntilExit(10s));
    EXPECT_EQ(killed.terminationStatus(), SIGKILL);
    EXPECT_EQ(killed.terminationReason(), TaskTerminationReason::UncaughtSignal);
    EXPECT_EQ(killed.readStandardOutputToEnd(1s), "before\n");
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
    EXPECT_EQ(terminated.terminationReason(), TaskTerminationReason::UncaughtSignal);
    terminated.terminate();  // an ended child is not signalled again
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

TEST(Task, DestroyingATaskKillsAndReapsItsChild) {
    int pid = -1;
    {
        Task task("/bin/sh", {"-c", "exec sleep 10"});
        ASSERT_EQ(task.launch(), std::nullopt);
        pid = task.processIdentifier();
        ASSERT_EQ(::kill(pid, 0), 0);
    }
    errno = 0;
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(Task, LaunchFailuresAreReported) {
    Task missing("/nonexistent/program", {});
    const auto error = missing.launch();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain, "NSPOSIXErrorDomain");
    EXPECT_EQ(error->code, ENOENT);
    EXPECT_EQ(error->localizedDescription, "No such file or directory");
    EXPECT_EQ(missing.processIdentifier(), -1);
    EXPECT_FALSE(missing.isRunning());
    EXPECT_FALSE(missing.waitUntilExit(10ms));

    Task twice("/bin/sh", {"-c", "true"});
    ASSERT_EQ(twice.launch(), std::nullopt);
    const auto again = twice.launch();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->code, EALREADY);
    EXPECT_EQ(again->localizedDescription, "Operation already in progress");
}

}  // namespace
