#include <gtest/gtest.h>

#include <string>

#include "Platform/Calendar.h"
#include "Platform/Clock.h"
#include "Platform/DateFormatter.h"
#include "Platform/Locale.h"
#include "Platform/Random.h"
#include "Platform/Scanner.h"
#include "Platform/TimeZone.h"

namespace {

using platform::Date;
using platform::DateFormatter;
using platform::Locale;
using platform::TimeZone;

const Locale kEnglish("en_US");
const TimeZone kUTC("UTC");

Date utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    platform::DateComponents parts;
    parts.year = year;
    parts.month = month;
    parts.day = day;
    parts.hour = hour;
    parts.minute = minute;
    parts.second = second;
    return *platform::Calendar(kUTC).dateFromComponents(parts);
}

TEST(DateFormatter, UnicodePatternLettersKeepTheirMeaning) {
    // 28 December 2025 is a Sunday in the first en_US week of 2026.
    EXPECT_EQ(DateFormatter("YYYY yyyy", kEnglish, kUTC).stringFromDate(utc(2025, 12, 28)), "2026 2025");
    EXPECT_EQ(DateFormatter("YYYY", kEnglish, kUTC).stringFromDate(utc(2025, 12, 27)), "2025");
    EXPECT_EQ(DateFormatter("DD", kEnglish, kUTC).stringFromDate(utc(2026, 1, 5)), "05");
    EXPECT_EQ(DateFormatter("DD", kEnglish, kUTC).stringFromDate(utc(2026, 12, 5)), "339");
    EXPECT_EQ(DateFormatter("HH:mm:ss.SSS", kEnglish, kUTC)
                  .stringFromDate(utc(2026, 2, 5, 14, 3, 7).dateByAddingTimeInterval(0.089)),
              "14:03:07.089");
    EXPECT_EQ(DateFormatter("Z", kEnglish, kUTC).stringFromDate(utc(2026, 1, 1)), "+0000");
    EXPECT_EQ(DateFormatter("Z", kEnglish, TimeZone("America/New_York")).stringFromDate(utc(2026, 1, 1)), "-0500");
}

TEST(DateFormatter, DueTimePatternBothWays) {
    const DateFormatter format("yyyy-MM-dd'T'HH:mm:ssZ", kEnglish, kUTC);
    EXPECT_EQ(format.stringFromDate(utc(2026, 12, 6, 2)), "2026-12-06T02:00:00+0000");
    EXPECT_EQ(format.dateFromString("2026-12-06T02:00:00+0000"), utc(2026, 12, 6, 2));
    EXPECT_EQ(format.dateFromString("2026-12-06T02:00:00+0530"), utc(2026, 12, 5, 20, 30));
    EXPECT_EQ(format.dateFromString("garbage"), std::nullopt);
    EXPECT_EQ(format.dateFromString(""), std::nullopt);
    EXPECT_EQ(format.dateFromString("2026-13-45T99:00:00+0000"), std::nullopt);
    EXPECT_EQ(format.dateFromString("2026-12-06T02:00:00+0000 and more"), std::nullopt);
}

TEST(Calendar, ComponentsInAZoneAndCarryOver) {
    const platform::Calendar paris(TimeZone("Europe/Paris"));
    const auto parts = paris.components(utc(2026, 7, 1, 22, 30));
    EXPECT_EQ(parts.year, 2026);
    EXPECT_EQ(parts.month, 7);
    EXPECT_EQ(parts.day, 2);
    EXPECT_EQ(parts.hour, 0);
    EXPECT_EQ(parts.minute, 30);
    EXPECT_EQ(parts.weekday, 5);  // Thursday
    platform::DateComponents overflow;
    overflow.year = 2025;
    overflow.month = 13;
    overflow.day = 1;
    EXPECT_EQ(platform::Calendar(kUTC).dateFromComponents(overflow), utc(2026, 1, 1));
}

TEST(LocaleAndZone, TestsCanSetTheProcessDefaults) {
    EXPECT_EQ(kEnglish.languageCode(), "en");
    EXPECT_EQ(kEnglish.countryCode(), "US");
    EXPECT_EQ(Locale("fr").countryCode(), "");
    Locale::setCurrentLocaleForTesting("de_CH");
    EXPECT_EQ(Locale::currentLocale().localeIdentifier(), "de_CH");
    Locale::setCurrentLocaleForTesting(std::nullopt);
    TimeZone::setDefaultTimeZoneForTesting("Asia/Tokyo");
    EXPECT_EQ(TimeZone::defaultTimeZone().name(), "Asia/Tokyo");
    EXPECT_EQ(platform::Calendar().components(utc(2026, 1, 1)).hour, 9);
    TimeZone::setDefaultTimeZoneForTesting(std::nullopt);
}

TEST(ClockAndRandom, TestsControlTimeAndChance) {
    platform::Clock::setNowForTesting([] { return Date::fromTimeIntervalSince1970(42); });
    EXPECT_EQ(platform::Clock::now(), Date::fromTimeIntervalSince1970(42));
    platform::Clock::setNowForTesting(nullptr);
    EXPECT_GT(platform::Clock::now().timeIntervalSince1970(), 1.7e9);

    std::uint32_t next = 0;
    platform::Random::setSourceForTesting([&next] { return next++; });
    EXPECT_EQ(platform::Random::uniform32(), 0u);
    EXPECT_EQ(platform::Random::uniform32(), 1u);
    platform::Random::setSourceForTesting(nullptr);
}

TEST(Scanner, DecimalAndHexadecimalReading) {
    using platform::Scanner;
    EXPECT_EQ(Scanner::intValue("42"), 42);
    EXPECT_EQ(Scanner::intValue("  -17abc"), -17);
    EXPECT_EQ(Scanner::intValue("+8"), 8);
    EXPECT_EQ(Scanner::intValue("x1"), 0);
    EXPECT_EQ(Scanner::intValue(""), 0);
    EXPECT_EQ(Scanner::intValue("2147483647"), 2147483647);
    EXPECT_EQ(Scanner::intValue("2147483648"), 2147483647);
    EXPECT_EQ(Scanner::intValue("99999999999999999999"), 2147483647);
    EXPECT_EQ(Scanner::intValue("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(Scanner::intValue("-2147483649"), -2147483647 - 1);

    std::uint32_t value = 7;
    EXPECT_TRUE(Scanner::scanHexInt("0x1F", &value));
    EXPECT_EQ(value, 0x1Fu);
    EXPECT_TRUE(Scanner::scanHexInt(" 0XfFfFfFfF", &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_TRUE(Scanner::scanHexInt("0x100000000", &value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_TRUE(Scanner::scanHexInt("abc", &value));
    EXPECT_EQ(value, 0xABCu);
    EXPECT_TRUE(Scanner::scanHexInt("0xg", &value));
    EXPECT_EQ(value, 0u);
    value = 7;
    EXPECT_FALSE(Scanner::scanHexInt("zz", &value));
    EXPECT_FALSE(Scanner::scanHexInt("", &value));
    EXPECT_EQ(value, 7u);
}

TEST(Scanner, HexDigitValuesAndTheCharactersBesideTheirRanges) {
    using platform::Scanner;
    const std::string digits = "0123456789abcdefABCDEF";
    const int values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        EXPECT_EQ(Scanner::hexDigitValue(digits[i]), values[i]) << digits[i];
    }
    for (const char outside : std::string("/:`gG@ \0\xFF", 9)) {
        EXPECT_EQ(Scanner::hexDigitValue(outside), -1) << static_cast<int>(outside);
    }
}

}  // namespace
