#include "Platform/RunLoop.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::RunLoop;

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(ends), 0); }
    ~Pipe() {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    int readEnd() const { return ends[0]; }
    void put(char c) { ASSERT_EQ(::write(ends[1], &c, 1), 1); }
    char take() {
        char c = 0;
        EXPECT_EQ(::read(ends[0], &c, 1), 1);
        return c;
    }
    int ends[2] = {-1, -1};
};

TEST(RunLoop, EachThreadHasItsOwnLoopAndABlockFromAnotherThreadWakesItAndRunsOnItsThread) {
    const auto loop = RunLoop::current();
    EXPECT_EQ(loop, RunLoop::current());
    std::atomic<bool> ran = false;
    std::thread::id ranOn;
    std::thread poster([&] {
        EXPECT_NE(RunLoop::current(), loop);
        std::this_thread::sleep_for(20ms);
        loop->performBlock([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
    });
    EXPECT_TRUE(loop->runUntil([&] { return ran.load(); }, 5s));
    poster.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(RunLoop, DescriptorSourceFiresOnlyInItsModeAndNotAfterRemoval) {
    const auto loop = RunLoop::current();
    Pipe pipe;
    std::string received;
    const auto id = loop->addDescriptorSource(
        pipe.readEnd(), [&] { received += pipe.take(); }, "other");
    pipe.put('a');
    EXPECT_EQ(loop->runInMode(platform::kRunLoopDefaultMode, 30ms, true), RunLoop::RunResult::TimedOut);
    EXPECT_EQ(received, "");
    EXPECT_EQ(loop->runInMode("other", 2s, true), RunLoop::RunResult::HandledSource);
    EXPECT_EQ(received, "a");

    EXPECT_TRUE(loop->removeSource(id));
    EXPECT_FALSE(loop->removeSource(id));
    pipe.put('b');
    EXPECT_EQ(loop->runInMode("other", 30ms, true), RunLoop::RunResult::TimedOut);
    EXPECT_EQ(received, "a");
}

TEST(RunLoop, SourceRemovedByAnEarlierCallbackOfTheSamePassDoesNotFire) {
    const auto loop = RunLoop::current();
    Pipe first;
    Pipe second;
    int secondCalls = 0;
    RunLoop::SourceId secondId = 0;
    const auto firstId = loop->addDescriptorSource(first.readEnd(), [&] {
        first.take();
        loop->removeSource(secondId);
    });
    secondId = loop->addDescriptorSource(second.readEnd(), [&] { ++secondCalls; });
    second.put('x');
    first.put('x');
    EXPECT_EQ(loop->runInMode(platform::kRunLoopDefaultMode, 2s, true), RunLoop::RunResult::HandledSource);
    EXPECT_EQ(secondCalls, 0);
    loop->removeSource(firstId);
}

TEST(RunLoop, StopEndsTheRunningLoopOrElseTheNextRun) {
    const auto loop = RunLoop::current();
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        loop->stop();
    });
    EXPECT_EQ(loop->runInMode(platform::kRunLoopDefaultMode, 10s, false), RunLoop::RunResult::Stopped);
    stopper.join();

    loop->stop();
    EXPECT_EQ(loop->runInMode(platform::kRunLoopDefaultMode, 10s, false), RunLoop::RunResult::Stopped);
    // The stop was consumed: the run after it lasts its duration.
    EXPECT_EQ(loop->runInMode(platform::kRunLoopDefaultMode, 10ms, false), RunLoop::RunResult::TimedOut);
}

TEST(RunLoop, RunUntilWaitsOutABlockThatLeavesItsConditionFalse) {
    const auto loop = RunLoop::current();
    int blocks = 0;
    loop->performBlock([&] { ++blocks; });
    EXPECT_FALSE(loop->runUntil([&] { return blocks == 2; }, 30ms));
    EXPECT_EQ(blocks, 1);
}

TEST(RunLoopDeathTest, ThreadWithoutADescriptorForItsLoopStopsTheProcess) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "the undefined-behaviour checks probe memory through a pipe, so without free descriptors they fail first";
#endif
    // A loop that could not be woken would sleep through every block and stop request.
    const auto startLoopWithoutDescriptors = [] {
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_NOFILE, &none);
        std::thread([] { RunLoop::current(); }).join();
    };
    EXPECT_DEATH(startLoopWithoutDescriptors(), "run loop: eventfd");
}

}  // namespace
