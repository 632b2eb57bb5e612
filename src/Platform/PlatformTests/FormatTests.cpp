#include "Platform/Format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

#include "Platform/PlistValue.h"

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
    EXPECT_EQ(platform::formatString("%d|%ld|%lld|%u|%x|%X|%o", -5, -10004L, 1LL << 40, 7u, 255, 255, 8),
              "-5|-10004|1099511627776|7|ff|FF|10");
    // Without a modifier the value is read as a 32-bit int, as C reads it.
    EXPECT_EQ(platform::formatString("%d", (1LL << 32) + 3), "3");
    EXPECT_EQ(platform::formatString("%hhd|%i|%d|%u|%hu", 200, -2147483647 - 1, 4294967295LL, -1, -1),
              "-56|-2147483648|-1|4294967295|65535");
    EXPECT_EQ(platform::formatString("%lld|%llu", INT64_MIN, UINT64_MAX), "-9223372036854775808|18446744073709551615");
    EXPECT_EQ(platform::formatString("[%5d][%-5d][%05d][%+d]", 42, 42, 42, 42), "[   42][42   ][00042][+42]");
    EXPECT_EQ(platform::formatString("%.2f %e %g", 3.14159, 1500.0, 0.5), "3.14 1.500000e+03 0.5");
    EXPECT_EQ(platform::formatString("%c%c 100%% %s", 'o', 'k', "sure"), "ok 100% sure");
    EXPECT_EQ(platform::formatString("%*d|%-*d|%.*s", 4, 7, 3, 1, 2, "abc"), "   7|1  |ab");
}

TEST(Format, ObjectPlaceholderDescribesAnythingAndPrintsNullForNothing) {
    const Described object;
    const std::shared_ptr<Described> shared = std::make_shared<Described>();
    const std::shared_ptr<Described> none;
    const std::optional<std::string> missing;
    const std::optional<std::string> present = "text";
    EXPECT_EQ(platform::formatString("%@ %@ %@", object, shared, none), "<described> <described> (null)");
    EXPECT_EQ(platform::formatString("%@ %@ %@", missing, present, nullptr), "(null) text (null)");
    EXPECT_EQ(platform::formatString("%@ %@ %@", 42, -1L, 2.5), "42 -1 2.5");
    EXPECT_EQ(platform::formatString("%s %s", static_cast<const char*>(nullptr), std::string("std")), "(null) std");
    EXPECT_EQ(platform::formatString("[%8@][%-8@][%.3@]", "right", "left", "truncated"),
              "[   right][left    ][tru]");
    platform::PlistDictionary dictionary{{"Key", platform::PlistValue("Value")}};
    EXPECT_EQ(platform::formatString("%@", dictionary), "{\n    Key = Value;\n}");
    // Reals read as integers saturate.
    EXPECT_EQ(platform::formatString("%lld %lld %lld", 1e300, -1e300, std::nan("")),
              "9223372036854775807 -9223372036854775808 0");
    EXPECT_EQ(platform::formatString("%lld %lld", 0x1p63, -0x1p63), "9223372036854775807 -9223372036854775808");
    EXPECT_EQ(platform::formatString("%lld|%.*s", -2.9, 2.9, "abc"), "-2|ab");
}

TEST(Format, StarWidthsAndPrecisionsAreIntsBoundedLikeWrittenOnes) {
    // Read as a 32-bit int, as C reads them.
    EXPECT_EQ(platform::formatString("[%*d][%.*s]", (1LL << 32) + 3, 1, (1LL << 32) + 2, "abc"), "[  1][ab]");
    EXPECT_EQ(platform::formatString("%*d|", std::numeric_limits<std::int64_t>::min(), 1), "1|");
    // No more padding or digits than "%999999d" or "%.999999f" could ask for.
    EXPECT_EQ(platform::formatString("%*d", 5000000, 1).size(), 999999u);
    EXPECT_EQ(platform::formatString("%*d|", std::numeric_limits<std::int32_t>::min(), 1),
              "1" + std::string(999998, ' ') + "|");
    EXPECT_EQ(platform::formatString("%.*f", 5000000, 1.0).size(), 1000001u);
    // Positional arguments pick their argument.
    EXPECT_EQ(platform::formatString("%2$@ before %1$@", "first", "second"), "second before first");
    EXPECT_EQ(platform::formatString("%1$d %1$d %2$s", 7, "x"), "7 7 x");
    // Placeholders beyond the arguments never read past them.
    EXPECT_EQ(platform::formatString("%@ %@ %d %s", "only"), "only (null) 0 (null)");
    EXPECT_EQ(platform::formatString("%5$@ %d", 1), "(null) 0");
    EXPECT_EQ(platform::formatString("%@ %@"), "(null) (null)");
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
