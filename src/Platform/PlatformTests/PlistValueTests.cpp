#include "Platform/PlistValue.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;

TEST(PlistValue, DescriptionUsesTheOldStyleSyntax) {
    const PlistDictionary dictionary{
        {"Plain", PlistValue("LogLevel")},
        {"With space", PlistValue("a \"quoted\" text")},
        {"List", PlistValue(PlistArray{PlistValue(1), PlistValue("")})},
        {"Inner", PlistValue(PlistDictionary{{"n", PlistValue(3)}})},
        {"Flag", PlistValue(false)},
        {"Bytes", PlistValue(PlistData{0xde, 0xad, 0xbe, 0xef, 0x01})},
        {"When", PlistValue(Date::fromTimeIntervalSince1970(0))},
    };
    EXPECT_EQ(description(dictionary),
              "{\n    Bytes = <deadbeef 01>;\n    Flag = 0;\n    Inner = {\n        n = 3;\n    };\n"
              "    List = (\n        1,\n        \"\"\n    );\n    Plain = LogLevel;\n"
              "    When = 1970-01-01 00:00:00 +0000;\n    \"With space\" = \"a \\\"quoted\\\" text\";\n}");
}

}  // namespace
