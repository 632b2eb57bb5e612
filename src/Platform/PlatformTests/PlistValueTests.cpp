#include "Platform/PlistValue.h"

#include <gtest/gtest.h>

namespace {

TEST(PlistValue, DescriptionUsesTheOldStyleSyntax) {
    const platform::PlistValue text("LogLevel");
    EXPECT_EQ(text.integer(), nullptr);
    ASSERT_NE(text.string(), nullptr);
    EXPECT_EQ(platform::PlistValue(), platform::PlistValue(""));
    platform::PlistDictionary inner{{"n", platform::PlistValue(3)}};
    platform::PlistDictionary dictionary{
        {"Plain", text},
        {"With space", platform::PlistValue("a \"quoted\" text")},
        {"List", platform::PlistValue(platform::PlistArray{platform::PlistValue(1), platform::PlistValue("")})},
        {"Inner", platform::PlistValue(inner)},
        {"Flag", platform::PlistValue(false)},
        {"Bytes", platform::PlistValue(platform::PlistData{0xde, 0xad, 0xbe, 0xef, 0x01})},
        {"When", platform::PlistValue(platform::Date::fromTimeIntervalSince1970(0))},
    };
    EXPECT_EQ(platform::description(dictionary),
              "{\n"
              "    Bytes = <deadbeef 01>;\n"
              "    Flag = 0;\n"
              "    Inner = {\n"
              "        n = 3;\n"
              "    };\n"
              "    List = (\n"
              "        1,\n"
              "        \"\"\n"
              "    );\n"
              "    Plain = LogLevel;\n"
              "    When = 1970-01-01 00:00:00 +0000;\n"
              "    \"With space\" = \"a \\\"quoted\\\" text\";\n"
              "}");
}

}  // namespace
