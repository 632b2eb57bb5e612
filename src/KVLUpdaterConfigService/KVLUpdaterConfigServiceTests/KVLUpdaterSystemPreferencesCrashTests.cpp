#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <thread>
#include <utility>

#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterSystemPreferences.h"
#include "Platform/PropertyListSerialization.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using Record = std::pair<std::string, std::string>;

class KVLUpdaterSystemPreferencesCrashTest : public kvltest::TemporaryRootTest {
protected:
    KVLUpdaterSystemPreferencesCrashTest() {
        KVLUpdaterConfigService::sharedInstance()->setMUpdaterPathHelper(std::make_shared<KVLUpdaterPathHelper>());
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    }

    static bool write(const Record& record) {
        KVLUpdaterSystemPreferences preferences;
        preferences.setMstrLogLevel(record.first);
        preferences.setMstrLocale(record.second);
        return preferences.writeToUpdaterSystemPreferencesPlist();
    }
    // The record the file holds now; null when it does not read as one.
    std::optional<Record> read() const {
        const auto record = KVLUpdaterSystemPreferences::initWithDictionary(
            platform::PropertyListSerialization::dictionaryWithContentsOfFile(file));
        if (!record || !record->mstrLogLevel() || !record->mstrLocale()) {
            return std::nullopt;
        }
        return Record(*record->mstrLogLevel(), *record->mstrLocale());
    }

    const std::string file = path(
        "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater/SystemPreferences/"
        "UpdaterSystemPreferences.plist");
};

// A writer killed at any moment of a rewrite leaves the old record or the new one, never a
// torn or empty file.
TEST_F(KVLUpdaterSystemPreferencesCrashTest, AWriterKilledMidRewriteLeavesAWholeRecord) {
    // Records of different lengths, so that a torn write would show.
    const Record first{"0x30000000", "en_US"}, second{"0xF1000000", std::string(2000, 'x')};
    // Kills land at random moments within a few rewrites' time, whatever this build's speed.
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(write(i % 2 == 0 ? second : first));
    const std::chrono::nanoseconds rewrite = (std::chrono::steady_clock::now() - started) / 10;
    std::mt19937 random(20261205);
    std::uniform_int_distribution<std::int64_t> delay(0, 3 * rewrite.count());
    std::set<Record> seen;
    for (int round = 0; round < 1000; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t writer = ::fork();  // a failed fork fails the read below
        if (writer == 0) {
            // Tells the parent once the first rewrite is done, then rewrites until killed.
            write(second);
            (void)!::write(ready[1], "r", 1);
            for (bool even = false;; even = !even) write(even ? second : first);
        }
        ::close(ready[1]);
        char signal = 0;
        ASSERT_EQ(::read(ready[0], &signal, 1), 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(std::chrono::nanoseconds(delay(random)));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        const std::optional<Record> now = read();
        ASSERT_TRUE(now == first || now == second) << "round " << round << ": the file does not hold a whole record";
        seen.insert(*now);
    }
    // Both records were caught: the kills did land during the rewrites.
    EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
