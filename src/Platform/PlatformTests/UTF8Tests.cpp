#include "Platform/UTF8.h"

#include <gtest/gtest.h>

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
    EXPECT_FALSE(isValidUTF8("\xFF"));
}

}  // namespace
