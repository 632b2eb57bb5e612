#include "KVLSharedUtil/KVLTaskUtil.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <future>

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLoggerService.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingLogger.h"
#include "TestSupport/TaskChild.h"

namespace {

using namespace std::chrono_literals;

// A logger is bound, so that anything the runner logged would be recorded.
class KVLTaskUtilLogging : public ::testing::Test {
protected:
    void SetUp() override {
        kvltest::unloadAllServices();
        std::shared_ptr<platform::Error> slot;
        KVLErrorService::load(nullptr, &slot);
        const auto record = KVLCreateInternalError();
        KVLLoggerService::load(nullptr, record.get());
        KVLLoggerService::sharedInstance()->createLoggerWithLogger(logger, record.get());
        ASSERT_TRUE(record->isSuccess());
    }
    void TearDown() override { kvltest::unloadAllServices(); }

    std::shared_ptr<kvltest::RecordingLogger> logger = std::make_shared<kvltest::RecordingLogger>();
};

TEST(KVLTaskUtil, AppendsOutputAndReturnsTheExitStatus) {
    std::string output = "kept:";
    EXPECT_EQ(KVLTaskUtil::launchCommand("printf 'a\\nb'; exit 3", output), 3);
    EXPECT_EQ(output, "kept:a\nb");
    EXPECT_EQ(KVLTaskUtil::launchCommand("true", output), 0);
    EXPECT_EQ(output, "kept:a\nb");
    // The line reaches the shell as one argument, quotes and all.
    output.clear();
    EXPECT_EQ(KVLTaskUtil::launchCommand("printf '%s|' one \"two  three\" $((40 + 2))", output), 0);
    EXPECT_EQ(output, "one|two  three|42|");
}

TEST(KVLTaskUtil, ChildEndedByASignalReturnsTheSignalNumber) {
    std::string output;
    EXPECT_EQ(KVLTaskUtil::launchCommand("echo partial; kill -KILL $$", output), SIGKILL);
    EXPECT_EQ(output, "partial\n");
}

TEST(KVLTaskUtil, OutputLargerThanAPipeIsReadWhileWaiting) {
    constexpr std::size_t kSize = 1 << 20;
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(KVLTaskUtil::launchCommand(kvltest::childWritingCommand(kSize), output), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_EQ(output.size(), kSize);
    EXPECT_EQ(output, kvltest::childOutput(kSize));
}

TEST(KVLTaskUtil, OnlyValidUTF8OutputIsAppended) {
    std::string output = "<";
    EXPECT_EQ(KVLTaskUtil::launchCommand("printf 'caf\\303\\251'", output), 0);
    EXPECT_EQ(KVLTaskUtil::launchCommand("printf 'ok\\377'", output), 0);  // a byte never used in UTF-8
    EXPECT_EQ(output, "<caf\xC3\xA9");
}

TEST_F(KVLTaskUtilLogging, ChildStillRunningAfterTheWaitIsEnded) {
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
