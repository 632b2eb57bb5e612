#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "Platform/Calendar.h"
#include "Platform/DateFormatter.h"
#include "Platform/Locale.h"
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
    return *platform::Calendar(kUTC).dateFromComponents({year, month, day, hour, minute, second});
}

// The due-time pattern both ways, with offsets, is the update scheduler's tests' case.
TEST(DateFormatter, DueTimePatternRefusesWhatItDoesNotMatchWhole) {
    const DateFormatter format("yyyy-MM-dd'T'HH:mm:ssZ", kEnglish, kUTC);
    for (const char* text : {"garbage", "2026-13-45T99:00:00+0000", "2026-12-06T02:00:00+0000 and more"}) {
        EXPECT_EQ(format.dateFromString(text), std::nullopt) << text;
    }
}

TEST(Calendar, ComponentsInAZoneAndCarryOver) {
    const platform::Calendar paris(TimeZone("Europe/Paris"));
    const auto parts = paris.components(utc(2026, 7, 1, 22, 30));
    // Thursday 2 July, 00:30.
    EXPECT_EQ(std::tuple(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.weekday),
              std::tuple(2026, 7, 2, 0, 30, 5));
    EXPECT_EQ(platform::Calendar(kUTC).dateFromComponents({2025, 13, 1}), utc(2026, 1, 1));
}

// A calendar made without a zone takes the default zone: the update scheduler's tests' case.

TEST(Scanner, DecimalAndHexadecimalReading) {
    using platform::Scanner;
    const std::pair<const char*, int> decimals[] = {
        {"  -17abc", -17}, {"+8", 8}, {"x1", 0}, {"99999999999999999999", 2147483647}, {"-2147483649", -2147483647 - 1},
    };
    for (const auto& [text, value] : decimals) {
        EXPECT_EQ(Scanner::intValue(text), value) << text;
    }
    const std::pair<const char*, std::optional<std::uint32_t>> hexadecimals[] = {
        {" 0XfFfFfFfF", 0xFFFFFFFF},
        {"0x100000000", 0xFFFFFFFF},
        {"abc", 0xABC},
        {"0xg", 0},
        {"zz", std::nullopt},
        {"09:", 9},
        {"aF`", 0xAF},
        {"Af@", 0xAF},
        {"fG", 0xF},
        {"/1", std::nullopt},
    };
    for (const auto& [text, expected] : hexadecimals) {
        std::uint32_t value = 7;
        EXPECT_EQ(Scanner::scanHexInt(text, &value), expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(7)) << text;
    }
}

}  // namespace
