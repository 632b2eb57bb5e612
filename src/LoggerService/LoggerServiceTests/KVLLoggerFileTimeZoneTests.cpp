#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "LoggerService/Private/KVLLoggerFile.h"
#include "Platform/Clock.h"
#include "Platform/FileManager.h"
#include "Platform/TimeZone.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

// A file opened in UTC, then a line written after the time zone changed: whether the line
// starts a new file is decided by the days of the opening and of the line in the new zone.
class KVLLoggerFileTimeZoneTest : public kvltest::TemporaryRootTest {
protected:
    KVLLoggerFileTimeZoneTest() {
        platform::Clock::setNowForTesting([this] { return platform::Date::fromTimeIntervalSince1970(now); });
        platform::FileManager::createDirectoryAtPath(path("Logs"), true);
    }
    ~KVLLoggerFileTimeZoneTest() override {
        platform::Clock::setNowForTesting({});
        platform::TimeZone::setDefaultTimeZoneForTesting(std::nullopt);
    }

    double now = 0;
};

TEST_F(KVLLoggerFileTimeZoneTest, TheDayOfTheCurrentZoneDecidesTheRoll) {
    const struct {
        double openedAt;  // seconds since 1970
        const char* newZone;
        double writtenAt;
        bool rolls;
    } changes[] = {
        // 2026-03-14 14:00 and 15:30 UTC are 23:00 on the 14th and 00:30 on the 15th in Tokyo.
        {1773496800, "Asia/Tokyo", 1773502200, true},
        // 2026-03-14 22:30 and 2026-03-15 01:00 UTC are 18:30 and 21:00 on the 14th in New York.
        {1773527400, "America/New_York", 1773536400, false},
    };
    for (const auto& change : changes) {
        // On a thread of its own: the date formatters a thread makes keep the time zone of their
        // making, and other tests expect the main thread's to be made in theirs.
        std::thread([this, &change] {
            platform::TimeZone::setDefaultTimeZoneForTesting("UTC");
            now = change.openedAt;
            KVLLoggerFile logger(path("Logs"), "Zone", KVLLogLevelInfo);
            const std::string firstFile = logger.getLogFilePath().value();

            platform::TimeZone::setDefaultTimeZoneForTesting(change.newZone);
            now = change.writtenAt;
            logger.info("after the change");

            EXPECT_EQ(logger.getLogFilePath() != firstFile, change.rolls) << change.newZone;
        }).join();
    }
}

}  // namespace
