#include <gtest/gtest.h>

#include "KVLUpdaterConfigService/Private/KVLUpdaterSystemPreferences.h"

namespace {

std::uint32_t levelOf(const std::optional<std::string>& text) {
    KVLUpdaterSystemPreferences preferences;
    preferences.setMstrLogLevel(text);
    return static_cast<std::uint32_t>(preferences.logLevel());
}

TEST(KVLUpdaterSystemPreferences, LogLevelTextMapsToAMaskWithTheInfoBits) {
    struct Row {
        std::optional<std::string> text;
        std::uint32_t level;
    };
    const Row rows[] = {
        {std::nullopt, 0xF0000000},  {"info", 0xF0000000},       {"0x10", 0xF0000000},       {"8", 0xF0000008},
        {"0X01000000", 0xF1000000},  {"16777224", 0xF1000008},   {"0x70000000", 0xF0000000}, {"-1", 0xFFFFFFFF},
        {"0x123456789", 0xFFFFFFFF}, {"4026531840", 0xF0000000}, {" 0x8", 0xF0000000},       {"  8 apples", 0xF0000008},
        {"0xZZ", 0xF0000000},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(levelOf(row.text), row.level) << row.text.value_or("(null)");
    }
    EXPECT_TRUE(KVLUpdaterSystemPreferences::validateLogLevel(0xFFFFFFFF));
    EXPECT_FALSE(KVLUpdaterSystemPreferences::validateLogLevel(0xFFFFFFFE));
}

TEST(KVLUpdaterSystemPreferences, RecordsComeOnlyFromDictionaries) {
    EXPECT_EQ(KVLUpdaterSystemPreferences::initWithDictionary(std::nullopt), nullptr);
    const auto record = KVLUpdaterSystemPreferences::initWithDictionary(
        platform::PlistDictionary{{"LogLevel", platform::PlistValue(8)}, {"Other", platform::PlistValue("x")}});
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->mstrLogLevel(), "8");  // a number stored by hand still reads as its text
    EXPECT_EQ(record->mstrLocale(), std::nullopt);
}

}  // namespace
