#include "Platform/StringsTable.h"

#include <gtest/gtest.h>

#include "Platform/PropertyListSerialization.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::Error;
using platform::StringsTable;
using Table = StringsTable::Table;

std::string failureOf(std::string_view bytes) {
    Error error;
    EXPECT_FALSE(StringsTable::tableWithData(bytes, &error)) << bytes;
    EXPECT_EQ(error.code, 3840);
    return error.localizedDescription;
}

std::string utf16(std::u16string_view text, bool bigEndian, bool withBom) {
    std::string bytes;
    if (withBom) {
        bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    }
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(StringsTable, ParsesTheOldStyleGrammar) {
    const auto table = StringsTable::tableWithData(
        "/* Messages */\n"
        "\"-17000\" = \"Unable to load %@\";   // by id\n"
        "'single' = 'it\\'s';\n"
        "plain.key_1 = some/value:2-$;\n"
        "\"Same\";\n"
        "\"dup\" = \"first\"; \"dup\" = \"second\";\n"
        "\"escapes\" = \"\\a\\b\\f\\n\\r\\t\\v\\\"\\\\\\q\";\n"
        "\"octal\" = \"\\101\\0551\\351\";\n"
        "\"unicode\" = \"\\U00e9\\u20AC\\UD83D\\UDE00\";\n"
        "\"multi\nline\" = \"a /* not a comment */ b\";");
    ASSERT_TRUE(table.has_value());
    const Table expected{
        {"-17000", "Unable to load %@"},
        {"single", "it's"},
        {"plain.key_1", "some/value:2-$"},
        {"Same", "Same"},
        {"dup", "second"},
        {"escapes", "\a\b\f\n\r\t\v\"\\q"},
        {"octal", "A-1\xC3\xA9"},
        {"unicode", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"multi\nline", "a /* not a comment */ b"},
    };
    EXPECT_EQ(*table, expected);
    EXPECT_EQ(StringsTable::tableWithData(" // only a comment\n"), Table{});
}

TEST(StringsTable, RefusesBrokenTablesWithWhatAndWhere) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"a\" = \"b\";\n\"c\" = \"d\"", "Missing ';' on line 2"},
        {"\"a\" = ;", "Unexpected character ; on line 1"},
        {"\"a\" =\n", "Unexpected end of file on line 2"},
        {"\n\"a\" = \"b;\n", "Unterminated quoted string starting on line 2"},
        {"\"a\" = \"b\\", "Unterminated quoted string starting on line 1"},
        {"\"a\" = \"b\"; é", "Unexpected character é on line 1"},
        {"\"a\" = \"b\"; /* open", "Unterminated comment starting on line 1"},
        {"\"a\" = \"\\UD83D\";", "Unpaired surrogate in \\U escape on line 1"},
        {"\"a\" = \"\\UDE00\";", "Unpaired surrogate in \\U escape on line 1"},
        {"\"a\" = \"\\Uxyz\";", "Invalid \\U escape on line 1"},
        {"\"a\" = \"\xED\xA0\x80\";", "The text is not valid UTF-8."},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(failureOf(text), message) << text;
    }
}

TEST(StringsTable, DecodesUtf16WithOrWithoutItsByteOrderMark) {
    const std::u16string text = u"\"caf\u00e9\" = \"\U0001F600\";";
    const Table expected{{"caf\xC3\xA9", "\xF0\x9F\x98\x80"}};
    for (const bool bigEndian : {false, true}) {
        for (const bool withBom : {false, true}) {
            EXPECT_EQ(StringsTable::tableWithData(utf16(text, bigEndian, withBom)), expected) << bigEndian << withBom;
        }
    }
    EXPECT_EQ(StringsTable::tableWithData("\xEF\xBB\xBF\"a\" = \"b\";"), (Table{{"a", "b"}}));

    EXPECT_EQ(failureOf(utf16(text, false, true) + "x"), "The text is not valid UTF-16.");
    EXPECT_EQ(failureOf(utf16(u"\"a\" = \"\xD83D\";", true, true)), "The text is not valid UTF-16.");
}

class StringsTableTest : public kvltest::TemporaryRootTest {};

TEST_F(StringsTableTest, ReadsPropertyListTablesOfStringsOnly) {
    const std::string xml = path("t.strings");
    ASSERT_TRUE(platform::PropertyListSerialization::writeToFile(
        platform::PlistDictionary{{"key", platform::PlistValue("text")}}, xml));
    EXPECT_EQ(StringsTable::tableWithContentsOfFile(xml), (Table{{"key", "text"}}));
    const std::u16string xml16 =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><dict><key>k</key><string>\u00e9</string></dict></plist>";
    EXPECT_EQ(StringsTable::tableWithData(utf16(xml16, false, true)), (Table{{"k", "\xC3\xA9"}}));

    EXPECT_EQ(failureOf("<plist><dict><key>n</key><integer>1</integer></dict></plist>"),
              "The property list is not a dictionary of strings.");
    EXPECT_EQ(failureOf("<plist><dict><key>k</key><string>v</string></dict>"),
              "The data couldn’t be read because it isn’t in the correct format.");
}

}  // namespace
