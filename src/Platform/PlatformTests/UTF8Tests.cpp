#include "Platform/UTF8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace {

TEST(UTF8, AcceptsWellFormedTextOnly) {
    using platform::isValidUTF8;
    EXPECT_TRUE(isValidUTF8(""));
    EXPECT_TRUE(isValidUTF8("plain"));
    EXPECT_TRUE(isValidUTF8("t\xC3\xABxt \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_TRUE(isValidUTF8(std::string_view("a\0b", 3)));
    EXPECT_FALSE(isValidUTF8("\xC3"));              // cut off
    EXPECT_FALSE(isValidUTF8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUTF8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUTF8("\xE0\x80\xAF"));      // overlong in three bytes
    EXPECT_FALSE(isValidUTF8("\xF0\x80\x80\xAF"));  // overlong in four bytes
    EXPECT_FALSE(isValidUTF8("\xC2\x41"));          // no continuation byte
    EXPECT_FALSE(isValidUTF8("\xF5\x80\x80\x80"));  // no such lead byte
    EXPECT_TRUE(isValidUTF8("\xEF\xBF\xBF\xF4\x8F\xBF\xBF"));  // U+FFFF and U+10FFFF
    EXPECT_FALSE(isValidUTF8("\xFF"));
}

TEST(UTF8, AppendsEachCodePointInTheShortestForm) {
    const std::pair<char32_t, std::string_view> cases[] = {
        {0x41, "A"},          {0x7F, "\x7F"},         {0x80, "\xC2\x80"},         {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"}, {0xFFFF, "\xEF\xBF\xBF"}, {0x10000, "\xF0\x90\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [codePoint, bytes] : cases) {
        std::string out;
        platform::appendUTF8(out, codePoint);
        EXPECT_EQ(out, bytes) << std::hex << static_cast<std::uint32_t>(codePoint);
    }
}

}  // namespace
