#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <thread>
#include <vector>

#include "KVLSharedUtil/NSArray+KVExtensions.h"
#include "KVLSharedUtil/NSDate+KVLExtensions.h"
#include "KVLSharedUtil/NSString+KVExtensions.h"
#include "Platform/TimeZone.h"

namespace {

TEST(NSStringKVExtensions, NilOrEmptyTrimsOnlySpacesAndTabs) {
    EXPECT_TRUE(NSStringKVExtensions::isNilOrEmpty(std::nullopt));
    EXPECT_TRUE(NSStringKVExtensions::isNilOrEmpty("   "));
    EXPECT_TRUE(NSStringKVExtensions::isNilOrEmpty("\t\u00a0\u3000"));
    EXPECT_FALSE(NSStringKVExtensions::isNilOrEmpty("\n"));
    EXPECT_FALSE(NSStringKVExtensions::isNilOrEmpty(" x "));
    EXPECT_TRUE(NSArrayKVExtensions::isNilOrEmpty(std::optional<std::vector<int>>()));
    EXPECT_TRUE(NSArrayKVExtensions::isNilOrEmpty(std::optional<std::vector<int>>(std::vector<int>{})));
    EXPECT_FALSE(NSArrayKVExtensions::isNilOrEmpty(std::optional<std::vector<int>>(std::vector<int>{1})));
}

// Empty components count; keys match by Unicode case folding (one case of it: the rest is ICU's).
TEST(NSStringKVExtensions, ValueAfterAKey) {
    const struct {
        const char* text;
        const char* separators;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"Version: 12.1", ": ", "version", ""}, {"a=1;b=2", "=;", "B", "2"}, {"a=1;b=2", "=;", "2", std::nullopt},
        {"a=1", "=", "c", std::nullopt},        {"", "=", "", std::nullopt}, {"clé→valeur", "→", "clé", "valeur"},
        {"Größe=1", "=", "GRÖSSE", "1"},      // ß folds to ss
        {"été=5", "=", "ETE", std::nullopt},  // accents are not case
    };
    for (const auto& test : cases) {
        EXPECT_EQ(NSStringKVExtensions::fetchStringWithSeparators(test.text, test.separators, test.key), test.value)
            << test.text;
    }
}

TEST(NSStringKVExtensions, WideCharacterRoundTrip) {
    wchar_t* wide = NSStringKVExtensions::getWChar("Grüße 🌍");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wcslen(wide), 7u);
    EXPECT_EQ(wide[2], static_cast<wchar_t>(0xFC));
    EXPECT_EQ(wide[6], static_cast<wchar_t>(0x1F30D));
    EXPECT_EQ(NSStringKVExtensions::stringFromWChar(wide), "Grüße 🌍");
    std::free(wide);

    EXPECT_EQ(NSStringKVExtensions::getWChar("bad \xff byte"), nullptr);
    EXPECT_EQ(NSStringKVExtensions::stringFromWChar(nullptr), "");
    const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
    EXPECT_EQ(NSStringKVExtensions::stringFromWChar(surrogate), std::nullopt);
}

// Threads that ask the cache for the same few formatters at once all get the one formatter of
// each pair and correct answers from it (run under ThreadSanitizer for the races themselves).
TEST(DateFormatterCache, ManyThreadsShareOneFormatterPerPatternAndLocale) {
    platform::TimeZone::setDefaultTimeZoneForTesting("UTC");
    NSDateKVLExtensions::dateFormatters().clear();
    const std::array<const char*, 3> patterns = {"yyyy-MM-dd", "dd.MM.yyyy", "yyyyMMdd"};
    const std::array<const char*, 3> texts = {"2026-03-10", "10.03.2026", "20260310"};
    constexpr double kTenthOfMarch = 1773100800;  // 2026-03-10T00:00:00Z
    constexpr int kThreads = 8;
    std::vector<std::array<const platform::DateFormatter*, 3>> seen(kThreads);
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                const std::size_t k = static_cast<std::size_t>(round + t) % patterns.size();
                seen[t][k] = NSDateKVLExtensions::getDateFormatterForFormat(patterns[k], "en_US").get();
                const auto date = NSDateKVLExtensions::dateFromFormattedDate(texts[k], patterns[k], "en_US");
                wrong[t] += !date || date->timeIntervalSince1970() != kTenthOfMarch;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
    EXPECT_EQ(seen, decltype(seen)(kThreads, seen[0]));
    NSDateKVLExtensions::dateFormatters().clear();
    platform::TimeZone::setDefaultTimeZoneForTesting(std::nullopt);
}

}  // namespace
