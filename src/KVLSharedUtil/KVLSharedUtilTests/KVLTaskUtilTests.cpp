#include "KVLSharedUtil/KVLTaskUtil.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <future>

#include "LoggedServicesTest.h"

namespace {

using namespace std::chrono_literals;

// A logger is bound, so that anything the runner logged would be recorded.
using KVLTaskUtilLogging = kvltest::LoggedServicesTest;

TEST(KVLTaskUtil, AppendsValidUTF8OutputAndReturnsTheExitStatusOrSignal) {
    const struct {
        const char* commandLine;
        int status;
        std::string appended;
    } cases[] = {
        {"printf 'a\\nb'; exit 3", 3, "a\nb"},
        {"echo partial; kill -KILL $$", SIGKILL, "partial\n"},
        // The line reaches the shell as one argument, quotes and all.
        {"printf '%s|' one \"two  three\" $((40 + 2))", 0, "one|two  three|42|"},
        {"printf 'caf\\303\\251'", 0, "caf\xC3\xA9"},
        {"printf 'ok\\377'", 0, ""},  // a byte never used in UTF-8
    };
    for (const auto& c : cases) {
        std::string output = "kept:";
        EXPECT_EQ(KVLTaskUtil::launchCommand(c.commandLine, output), c.status) << c.commandLine;
        EXPECT_EQ(output, "kept:" + c.appended) << c.commandLine;
    }
}

TEST(KVLTaskUtil, RunsAProgramFoundOnThePathWithItsArgumentsAsTheyAre) {
    std::string output;
    EXPECT_EQ(KVLTaskUtil::launchProgram({"printf", "%s|", "a  b", "$HOME;"}, output, KVLTaskStandardError::Inherited),
              0);
    EXPECT_EQ(output, "a  b|$HOME;|");
    EXPECT_EQ(KVLTaskUtil::launchProgram({"kvl-no-such-program"}, output, KVLTaskStandardError::Inherited), -1);
    EXPECT_EQ(KVLTaskUtil::launchProgram({}, output, KVLTaskStandardError::Inherited), -1);
    EXPECT_EQ(output, "a  b|$HOME;|");
}

TEST_F(KVLTaskUtilLogging, StressChildStillRunningAfterTheWaitIsEnded) {
    // Both at once: one ends on SIGTERM after 5.05 s, one ignores it and is killed 1 s later.
    const auto runTimed = [](const std::string& commandLine) {
        std::string output;
        const auto start = std::chrono::steady_clock::now();
        const int status = KVLTaskUtil::launchCommand(commandLine, output);
        return std::make_tuple(status, output, std::chrono::steady_clock::now() - start);
    };
    auto terminated = std::async(std::launch::async, runTimed, "echo waiting; exec sleep 10");
    auto killed = std::async(std::launch::async, runTimed, "trap '' TERM; exec sleep 10");

    const auto [terminatedStatus, terminatedOutput, terminatedAfter] = terminated.get();
    EXPECT_EQ(terminatedStatus, SIGTERM);
    EXPECT_EQ(terminatedOutput, "waiting\n");
    EXPECT_GE(terminatedAfter, 5050ms);
    EXPECT_LT(terminatedAfter, 5800ms);

    const auto [killedStatus, killedOutput, killedAfter] = killed.get();
    EXPECT_EQ(killedStatus, SIGKILL);
    EXPECT_GE(killedAfter, 6050ms);
    EXPECT_LT(killedAfter, 6800ms);

    // The runner leaves it to its caller to say what the status means.
    EXPECT_TRUE(logger->lines().empty());
}

}  // namespace
