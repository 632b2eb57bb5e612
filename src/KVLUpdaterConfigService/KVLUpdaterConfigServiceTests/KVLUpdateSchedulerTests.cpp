#include <gtest/gtest.h>

#include "KVLSharedUtil/NSDate+KVLExtensions.h"
#include "KVLUpdaterConfigService/Private/KVLUpdateScheduler.h"
#include "LoggerService/KVLLoggerService.h"
#include "Platform/Clock.h"
#include "Platform/Locale.h"
#include "Platform/Random.h"
#include "Platform/TimeZone.h"
#include "TestSupport/LoadedServices.h"

namespace {

constexpr std::uint32_t kHalf = 0x80000000;  // a random draw of one half

class KVLUpdateSchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::TimeZone::setDefaultTimeZoneForTesting("UTC");
        platform::Locale::setCurrentLocaleForTesting("en_US");
        NSDateKVLExtensions::dateFormatters().clear();
        setNow(12);
        draw(0);
    }
    void TearDown() override {
        platform::Clock::setNowForTesting(nullptr);
        platform::Random::setSourceForTesting(nullptr);
        platform::TimeZone::setDefaultTimeZoneForTesting(std::nullopt);
        platform::Locale::setCurrentLocaleForTesting(std::nullopt);
        NSDateKVLExtensions::dateFormatters().clear();
    }

    // Now at a number of hours after 2026-03-10 00:00 UTC.
    static void setNow(double hours) {
        const auto now = platform::Date::fromTimeIntervalSince1970(1773100800.0 + hours * 3600);
        platform::Clock::setNowForTesting([now] { return now; });
    }
    static void draw(std::uint32_t value) {
        platform::Random::setSourceForTesting([value] { return value; });
    }
    static std::string next(std::optional<std::string> start, std::optional<std::string> end,
                            std::optional<std::string> duration) {
        KVLUpdateScheduler scheduler;
        scheduler.setMstrUpdateCheckStartTime(std::move(start));
        scheduler.setMstrUpdateCheckEndTime(std::move(end));
        scheduler.setMstrUpdateDuration(std::move(duration));
        scheduler.reCalculateNextUpdateTime();
        return scheduler.mstrNextUpdateTime().value_or("(null)");
    }

    kvltest::ServicesWithRecordingLogger services;
    const std::shared_ptr<kvltest::RecordingLogger>& logger = services.logger;
};

TEST_F(KVLUpdateSchedulerTest, TheDueTimeIsARandomPointOfTodaysWindowPlusTheDuration) {
    EXPECT_EQ(next("09:00", "09:00", "0"), "2026-03-10T09:00:00+0000");
    draw(kHalf);
    EXPECT_EQ(next("09:00", "09:00", "0"), "2026-03-10T21:00:00+0000");  // a 24-hour window
    EXPECT_EQ(next("22:00", "02:00", "0"), "2026-03-11T00:00:00+0000");  // past midnight, 4 hours
    EXPECT_EQ(next("09:00", "17:00", "-1"), "2026-03-09T13:00:00+0000");
    EXPECT_EQ(next("09:00", "17:00", "two"), "2026-03-10T13:00:00+0000");  // not a number: 0 days
    draw(0xFFFFFFFF);
    EXPECT_EQ(next("09:00", "17:00", "0"), "2026-03-10T16:59:59+0000");  // never the window's end
}

TEST_F(KVLUpdateSchedulerTest, TheWindowIsTodaysInLocalTime) {
    platform::TimeZone::setDefaultTimeZoneForTesting("Asia/Kolkata");
    NSDateKVLExtensions::dateFormatters().clear();
    setNow(-2.5);  // 03:00 there, still the 9th in UTC
    EXPECT_EQ(next("09:00", "09:00", "0"), "2026-03-10T09:00:00+0530");
}

TEST_F(KVLUpdateSchedulerTest, MissingOrUnreadableWindowTimesFallBackToNow) {
    setNow(18);
    draw(kHalf);
    EXPECT_EQ(next(std::nullopt, std::nullopt, std::nullopt), "2026-03-11T06:00:00+0000");  // 24 h from now
    EXPECT_EQ(next(std::nullopt, "17:00", "0"), "2026-03-11T05:30:00+0000");                // 23 h window
    EXPECT_EQ(next("9 o'clock", "25:00", "0"), "2026-03-11T06:00:00+0000");
    EXPECT_EQ(KVLUpdateScheduler::convertTimeStringToDate("7:5"), std::nullopt);
}

TEST_F(KVLUpdateSchedulerTest, DueCheckReadsTheStoredTimeInAnyOffset) {
    KVLUpdateScheduler scheduler;
    EXPECT_TRUE(scheduler.isNextUpdateTimeExceeded());
    EXPECT_EQ(logger->messages(), (std::vector<std::string>{"isNextUpdatetimeExceeded entered.",
                                                            "Next Update time not available, returning YES"}));
    scheduler.setMstrNextUpdateTime("2026-03-10T12:00:00+0000");
    EXPECT_TRUE(scheduler.isNextUpdateTimeExceeded());  // equal to now
    scheduler.setMstrNextUpdateTime("2026-03-10T17:30:01+0530");
    EXPECT_FALSE(scheduler.isNextUpdateTimeExceeded());  // one second after now
    scheduler.setMstrNextUpdateTime("2026-03-10T07:00:00-0500");
    EXPECT_TRUE(scheduler.isNextUpdateTimeExceeded());
    for (const char* unreadable : {"tomorrow", "2026-03-10 12:00:00"}) {
        scheduler.setMstrNextUpdateTime(unreadable);
        EXPECT_TRUE(scheduler.isNextUpdateTimeExceeded()) << unreadable;
    }
    EXPECT_EQ(logger->lines().back().message, "Next Update time 2026-03-10 12:00:00");

    // A window that passed today is due at once.
    scheduler.setMstrUpdateCheckStartTime("09:00");
    scheduler.setMstrUpdateCheckEndTime("11:00");
    scheduler.reCalculateNextUpdateTime();
    const auto messages = logger->messages();
    EXPECT_EQ(std::vector(messages.end() - 2, messages.end()),
              (std::vector<std::string>{"NextUpdateTime before reCalculateNextUpdateTime : 2026-03-10 12:00:00",
                                        "NextUpdateTime after reCalculateNextUpdateTime : 2026-03-10T09:00:00+0000"}));
    EXPECT_TRUE(scheduler.isNextUpdateTimeExceeded());
}

TEST_F(KVLUpdateSchedulerTest, AnIncompleteRecordNeverCallsTheWriter) {
    EXPECT_EQ(KVLUpdateScheduler::initWithDictionary(std::nullopt), nullptr);
    int calls = 0;
    const auto writer = [&calls](const platform::PlistDictionary&, const platform::URL&) { return ++calls > 0; };
    for (int missing = 0; missing < 4; ++missing) {
        KVLUpdateScheduler scheduler;
        scheduler.setMstrNextUpdateTime(missing == 0 ? std::nullopt : std::optional<std::string>("n"));
        scheduler.setMstrUpdateDuration(missing == 1 ? std::nullopt : std::optional<std::string>("1"));
        scheduler.setMstrUpdateCheckStartTime(missing == 2 ? std::nullopt : std::optional<std::string>("01:00"));
        scheduler.setMstrUpdateCheckEndTime(missing == 3 ? std::nullopt : std::optional<std::string>("05:00"));
        EXPECT_FALSE(scheduler.writeToUpdateSchedulerPlist(writer));
    }
    EXPECT_EQ(calls, 0);
}

TEST_F(KVLUpdateSchedulerTest, TheDueTimeReadsBackInAnyLocaleAndAHugeDurationSaturates) {
    const struct {
        const char* locale;
        const char* duration;
        const char* due;
    } cases[] = {
        {"th_TH", "1", "2026-03-11T09:00:00+0000"},  // Buddhist calendar
        {"ar_EG", "1", "2026-03-11T09:00:00+0000"},  // Arabic-Indic digits
        {"en_US", "99999999", "2094-03-28T12:14:07+0000"},
        {"en_US", "-99999999", "1958-02-20T05:45:52+0000"},
    };
    for (const auto& test : cases) {
        platform::Locale::setCurrentLocaleForTesting(test.locale);
        KVLUpdateScheduler scheduler;
        scheduler.setMstrUpdateCheckStartTime("09:00");
        scheduler.setMstrUpdateCheckEndTime("09:00");
        scheduler.setMstrUpdateDuration(test.duration);
        scheduler.reCalculateNextUpdateTime();
        EXPECT_EQ(scheduler.mstrNextUpdateTime(), test.due) << test.locale << " " << test.duration;
        EXPECT_EQ(scheduler.isNextUpdateTimeExceeded(), test.duration[0] == '-') << test.locale;
    }
}

}  // namespace
