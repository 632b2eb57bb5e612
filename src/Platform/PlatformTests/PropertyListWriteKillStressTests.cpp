#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "Platform/PropertyListSerialization.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::PlistDictionary;
using platform::PlistValue;
using platform::PropertyListSerialization;

class PropertyListWriteKillStressTest : public kvltest::TemporaryRootTest {};

// A writer killed at any moment of a rewrite leaves the old list or the new one, never a torn,
// empty or missing file.
TEST_F(PropertyListWriteKillStressTest, AWriterKilledMidRewriteLeavesAWholeList) {
    // Lists of different lengths, so that a torn write would show.
    const PlistDictionary first{{"LogLevel", PlistValue("0x30000000")}, {"Locale", PlistValue("en_US")}};
    const PlistDictionary second{{"LogLevel", PlistValue("0xF1000000")}, {"Locale", PlistValue(std::string(2000, 'x'))}};
    const std::string file = path("prefs.plist");
    const auto write = [&](bool even) { return PropertyListSerialization::writeToFile(even ? second : first, file); };
    // Kills land at random moments within a few rewrites' time, whatever this build's speed.
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(write(i % 2 == 0));
    }
    const auto rewrite = (std::chrono::steady_clock::now() - started) / 10;
    std::mt19937 random(20261205);
    std::uniform_int_distribution<std::int64_t> delay(0, 3 * std::chrono::nanoseconds(rewrite).count());
    int seenFirst = 0;
    for (int round = 0; round < 500; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t writer = ::fork();
        ASSERT_NE(writer, -1);
        if (writer == 0) {
            // Tells the parent once the first rewrite is done, then rewrites until killed.
            write(true);
            (void)!::write(ready[1], "r", 1);
            for (bool even = false;; even = !even) {
                write(even);
            }
        }
        ::close(ready[1]);
        char signal = 0;
        ASSERT_EQ(::read(ready[0], &signal, 1), 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(std::chrono::nanoseconds(delay(random)));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        const auto now = PropertyListSerialization::dictionaryWithContentsOfFile(file);
        ASSERT_TRUE(now == first || now == second) << "round " << round << ": the file does not hold a whole list";
        seenFirst += now == first ? 1 : 0;
    }
    // Both lists were caught: the kills did land during the rewrites.
    EXPECT_GT(seenFirst, 0);
    EXPECT_LT(seenFirst, 500);
}

}  // namespace
