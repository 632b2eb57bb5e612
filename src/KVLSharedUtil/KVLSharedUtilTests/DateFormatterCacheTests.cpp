#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "KVLSharedUtil/NSDate+KVLExtensions.h"
#include "Platform/TimeZone.h"

namespace {

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
