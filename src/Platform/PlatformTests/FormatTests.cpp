#include "Platform/Format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

namespace {

struct Described {
    std::string description() const { return "<described>"; }
};

TEST(Format, AnArgumentOfAnotherKindIsReadAsTheConversionAsks) {
    int object = 0;
    const void* pointer = &object;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%p", pointer);
    EXPECT_EQ(platform::formatString("%p|%@", pointer, pointer), std::string(expected) + "|" + expected);
    EXPECT_EQ(platform::formatString("%p", 5), std::string("(nil)"));  // only a pointer prints as one
    EXPECT_EQ(platform::formatString("%llu", pointer), std::to_string(reinterpret_cast<std::uintptr_t>(pointer)));
    EXPECT_EQ(platform::formatString("%.1f|%.1f|%.1f", 3, 4u, "text"), "3.0|4.0|0.0");
    EXPECT_EQ(platform::formatString("%@|%@|%hhu", 18446744073709551615ULL, 2.5, 257u), "18446744073709551615|2.5|1");
}

TEST(Format, PrintfConversionsFollowTheLengthModifier) {
    // Without a modifier the value is read as a 32-bit int, as C reads it.
    EXPECT_EQ(platform::formatString("%d|%hhd|%u|%hu|%lld|%x", (1LL << 32) + 3, 200, -1, -1, 1LL << 40, 255),
              "3|-56|4294967295|65535|1099511627776|ff");
}

TEST(Format, ObjectPlaceholderDescribesAnythingAndPrintsNullForNothing) {
    const Described object;
    const std::shared_ptr<Described> shared = std::make_shared<Described>();
    const std::shared_ptr<Described> none;
    using Text = std::optional<std::string>;
    EXPECT_EQ(platform::formatString("%@ %@ %@", object, shared, none), "<described> <described> (null)");
    EXPECT_EQ(platform::formatString("%@ %@ %@", Text(), Text("text"), nullptr), "(null) text (null)");
    EXPECT_EQ(platform::formatString("%s %s", static_cast<const char*>(nullptr), std::string("std")), "(null) std");
    EXPECT_EQ(platform::formatString("[%8@][%-8@][%.3@]", "right", "left", "truncated"), "[   right][left    ][tru]");
    // Reals read as integers saturate.
    EXPECT_EQ(platform::formatString("%lld %lld %lld %lld", 1e300, -0x1p63, std::nan(""), 0x1p63),
              "9223372036854775807 -9223372036854775808 0 9223372036854775807");
    EXPECT_EQ(platform::formatString("%lld|%.*s", -2.9, 2.9, "abc"), "-2|ab");
}

TEST(Format, StarWidthsAndPrecisionsAreIntsBoundedLikeWrittenOnes) {
    // Read as a 32-bit int, as C reads them.
    EXPECT_EQ(platform::formatString("[%*d][%.*s]", (1LL << 32) + 3, 1, (1LL << 32) + 2, "abc"), "[  1][ab]");
    // No more padding or digits than "%999999d" or "%.999999f" could ask for.
    EXPECT_EQ(platform::formatString("%*d", 5000000, 1).size(), 999999u);
    EXPECT_EQ(platform::formatString("%*d|", std::numeric_limits<std::int32_t>::min(), 1),
              "1" + std::string(999998, ' ') + "|");
    EXPECT_EQ(platform::formatString("%.*f", 5000000, 1.0).size(), 1000001u);
    // Positional arguments pick their argument.
    EXPECT_EQ(platform::formatString("%2$@ before %1$@", "first", "second"), "second before first");
    // Placeholders beyond the arguments never read past them.
    EXPECT_EQ(platform::formatString("%@ %@ %d %s", "only"), "only (null) 0 (null)");
    EXPECT_EQ(platform::formatString("%5$@ %d", 1), "(null) 0");
}

TEST(Format, MalformedConversionsAreCopiedAsText) {
    // "% o" is a conversion (blank flag, octal), as in C.
    EXPECT_EQ(platform::formatString("50%! off|50% off|%l|trailing %", 8), "50%! off|5010ff|%l|trailing %");
    // A started list can be formatted twice.
    const platform::FormatArgPack pack("a", 1);
    const platform::FormatArgs args = pack;
    EXPECT_EQ(platform::formatStringArgs("%@%d", args), "a1");
    EXPECT_EQ(platform::formatStringArgs("%@%d", args), "a1");
}

}  // namespace
