#include <gtest/gtest.h>

#include <cstdlib>

#include "KVLSharedUtil/NSArray+KVExtensions.h"
#include "KVLSharedUtil/NSString+KVExtensions.h"

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

}  // namespace
