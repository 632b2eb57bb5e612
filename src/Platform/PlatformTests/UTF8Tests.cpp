#include "Platform/UTF8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace {

TEST(UTF8, AcceptsWellFormedTextOnly) {
    for (const std::string_view valid :
         {std::string_view(""), std::string_view("t\xC3\xABxt \xE2\x82\xAC \xF0\x9F\x98\x80"),
          std::string_view("a\0b", 3), std::string_view("\xEF\xBF\xBF\xF4\x8F\xBF\xBF")}) {
        EXPECT_TRUE(platform::isValidUTF8(valid)) << valid;
    }
    // Cut off, overlong in two, three and four bytes, a surrogate, above U+10FFFF, no continuation
    // byte, no such lead byte.
    for (const char* invalid : {"\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
                                "\xF4\x90\x80\x80", "\xC2\x41", "\xF5\x80\x80\x80", "\xFF"}) {
        EXPECT_FALSE(platform::isValidUTF8(invalid)) << invalid;
    }
}

TEST(UTF8, AppendsEachCodePointInTheShortestForm) {
    const std::pair<char32_t, std::string_view> cases[] = {
        {0x41, "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [codePoint, bytes] : cases) {
        std::string out;
        platform::appendUTF8(out, codePoint);
        EXPECT_EQ(out, bytes) << std::hex << static_cast<std::uint32_t>(codePoint);
    }
}

}  // namespace
