#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "KVLSharedUtil/NSMutableString+KVLEscapeUtil.h"

namespace {

using Escape = NSMutableStringKVLEscapeUtil;

const std::vector<std::pair<std::string, std::string>> kXMLEntries = {
    {"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}, {"'", "&apos;"}, {"\"", "&quot;"}};

// The entries applied literally: one after another, each over the whole current text.
std::string escapedEntryAfterEntry(std::string text, bool html) {
    auto entries = kXMLEntries;
    if (html) {
        entries.emplace_back(" ", "&nbsp;");
    }
    for (const auto& [character, replacement] : entries) {
        for (std::size_t at = text.find(character); at != std::string::npos;
             at = text.find(character, at + replacement.size())) {
            text.replace(at, character.size(), replacement);
        }
    }
    return text;
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    Escape::escapeXMLAndAppend(out, text);
    return out;
}

std::string htmlEscaped(const std::string& text) {
    std::string out;
    Escape::escapeHTMLAndAppend(out, text);
    return out;
}

std::string urlEncoded(const std::string& text) {
    std::string out;
    Escape::encodeURLParamAppend(out, text);
    return out;
}

TEST(KVLEscapeUtil, XMLDeclarationIsAppendedExactly) {
    std::string text = "head:";
    Escape::appendXMLDeclaration(text);
    EXPECT_EQ(text, "head:<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    EXPECT_EQ(text.size(), 5u + 39u);
}

TEST(KVLEscapeUtil, XMLEntriesReplaceEachCharacterAndLeaveSpaces) {
    for (const auto& [character, replacement] : kXMLEntries) {
        EXPECT_EQ(xmlEscaped("x" + character + "y"), "x" + replacement + "y") << character;
    }
    EXPECT_EQ(xmlEscaped("a<b&c"), "a&lt;b&amp;c");
    EXPECT_EQ(xmlEscaped("&<>'\" "), "&amp;&lt;&gt;&apos;&quot; ");
    // Entities produced by later entries are not escaped again; those in the input are.
    EXPECT_EQ(xmlEscaped("&amp;<"), "&amp;amp;&lt;");
    EXPECT_EQ(xmlEscaped("&&"), "&amp;&amp;");
    EXPECT_EQ(xmlEscaped(""), "");
}

TEST(KVLEscapeUtil, HTMLEntriesAddTheNonBreakingSpace) {
    EXPECT_EQ(htmlEscaped("1 < 2"), "1&nbsp;&lt;&nbsp;2");
    EXPECT_EQ(htmlEscaped("&lt;"), "&amp;lt;");
    EXPECT_EQ(htmlEscaped("&<>'\" "), "&amp;&lt;&gt;&apos;&quot;&nbsp;");
    EXPECT_EQ(htmlEscaped("  "), "&nbsp;&nbsp;");
    // Only U+0020 is a space here: tab, line feed and U+00A0 stay as they are.
    EXPECT_EQ(htmlEscaped("\t\n\xC2\xA0"), "\t\n\xC2\xA0");
}

TEST(KVLEscapeUtil, NonASCIITextPassesThrough) {
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e <\xC3\xA9> \xE6\x97\xA5\xE6\x9C\xAC & \xF0\x9F\x98\x80";
    EXPECT_EQ(xmlEscaped(text), "Gr\xC3\xBC\xC3\x9F" "e &lt;\xC3\xA9&gt; \xE6\x97\xA5\xE6\x9C\xAC &amp; \xF0\x9F\x98\x80");
    EXPECT_EQ(htmlEscaped(text),
              "Gr\xC3\xBC\xC3\x9F" "e&nbsp;&lt;\xC3\xA9&gt;&nbsp;\xE6\x97\xA5\xE6\x9C\xAC&nbsp;&amp;&nbsp;\xF0\x9F\x98\x80");
}

TEST(KVLEscapeUtil, OnePassEqualsEntryAfterEntryAtEveryPosition) {
    // Each special character at every offset around the 16-byte blocks the search uses.
    for (const char special : std::string("&<>'\" ")) {
        for (std::size_t length = 1; length <= 40; ++length) {
            for (std::size_t at = 0; at < length; ++at) {
                std::string text(length, 'x');
                text[at] = special;
                ASSERT_EQ(xmlEscaped(text), escapedEntryAfterEntry(text, false)) << text;
                ASSERT_EQ(htmlEscaped(text), escapedEntryAfterEntry(text, true)) << text;
            }
        }
    }
    // Random texts dense in special characters, with non-ASCII bytes and the bytes one bit
    // away from a special character ("#$%=?", 0xA6, 0xBE) among them; some long enough for the
    // output to be lengthened many times.
    std::mt19937 random(20240611);
    const std::string alphabet = "&<>'\" ;ampltgquoxyz\xC3\xA9#$%=?\xA6\xBE";
    for (int round = 0; round < 300; ++round) {
        std::string text(round % 50 == 0 ? 20000 : random() % 200, ' ');
        for (char& character : text) {
            character = alphabet[random() % alphabet.size()];
        }
        ASSERT_EQ(xmlEscaped(text), escapedEntryAfterEntry(text, false)) << text;
        ASSERT_EQ(htmlEscaped(text), escapedEntryAfterEntry(text, true)) << text;
    }
}

TEST(KVLEscapeUtil, InPlaceEscapingChangesOnlyTheArgument) {
    std::string receiver = "a<b";
    std::string argument = "x & y";
    Escape::escapeXML(receiver, argument);
    EXPECT_EQ(receiver, "a<b");
    EXPECT_EQ(argument, "x &amp; y");
    Escape::escapeHTML(receiver, argument);
    EXPECT_EQ(receiver, "a<b");
    EXPECT_EQ(argument, "x&nbsp;&amp;amp;&nbsp;y");
    std::string plain = "nothing to do";
    Escape::escapeXML(receiver, plain);
    EXPECT_EQ(plain, "nothing to do");
}

TEST(KVLEscapeUtil, AppendingKeepsReceiverAndArgumentAndSkipsNil) {
    std::string receiver = "<kept>";
    const std::string argument = "'q'";
    Escape::escapeXMLAndAppend(receiver, argument);
    Escape::escapeHTMLAndAppend(receiver, argument);
    EXPECT_EQ(receiver, "<kept>&apos;q&apos;&apos;q&apos;");
    EXPECT_EQ(argument, "'q'");
    Escape::escapeXMLAndAppend(receiver, std::nullopt);
    Escape::escapeHTMLAndAppend(receiver, std::nullopt);
    Escape::escapeHTMLAndReplace(receiver, std::nullopt, "_");
    Escape::encodeURLParamAppend(receiver, std::nullopt);
    EXPECT_EQ(receiver, "<kept>&apos;q&apos;&apos;q&apos;");
}

TEST(KVLEscapeUtil, XMLTagEscapesOnlyTheValue) {
    std::string text = "<Root>";
    Escape::appendXMLTag(text, "Name", "Tom & Jerry");
    EXPECT_EQ(text, "<Root><Name>Tom &amp; Jerry</Name>");
    text.clear();
    Escape::appendXMLTag(text, "Empty", std::nullopt);
    EXPECT_EQ(text, "<Empty></Empty>");
    text.clear();
    Escape::appendXMLTag(text, "a&b", "<v>");
    EXPECT_EQ(text, "<a&b>&lt;v&gt;</a&b>");
}

TEST(KVLEscapeUtil, HTMLReplaceTurnsSpacesIntoTheReplacement) {
    std::string text = "[";
    Escape::escapeHTMLAndReplace(text, "a b<c", "&#32;");
    EXPECT_EQ(text, "[a&#32;b&lt;c");
    text.clear();
    Escape::escapeHTMLAndReplace(text, "a b", std::nullopt);
    EXPECT_EQ(text, "a&nbsp;b");
    text.clear();
    Escape::escapeHTMLAndReplace(text, "a b", "");
    EXPECT_EQ(text, "ab");
    // A replacement longer than any entity, many times over and across blocks.
    text.clear();
    std::string expected;
    for (int index = 0; index < 40; ++index) {
        expected += "<span class=\"gap\"></span>";
    }
    Escape::escapeHTMLAndReplace(text, std::string(40, ' ') + "&", "<span class=\"gap\"></span>");
    EXPECT_EQ(text, expected + "&amp;");
}

TEST(KVLEscapeUtil, URLParameterEncodingKeepsOnlyLettersAndDigits) {
    EXPECT_EQ(urlEncoded("a-b_c.d~e"), "a%2Db%5Fc%2Ed%7Ee");
    EXPECT_EQ(urlEncoded("caf\xC3\xA9"), "caf%C3%A9");
    EXPECT_EQ(urlEncoded("\xF0\x9F\x98\x80"), "%F0%9F%98%80");
    EXPECT_EQ(urlEncoded("AZaz09"), "AZaz09");
    EXPECT_EQ(urlEncoded(std::string("a b\n\t\x7F\0", 7)), "a%20b%0A%09%7F%00");
    EXPECT_EQ(urlEncoded("`~!@#$%^&*()-_=+[{]}\\|;:'\",<.>/?"),
              "%60%7E%21%40%23%24%25%5E%26%2A%28%29%2D%5F%3D%2B%5B%7B%5D%7D%5C%7C%3B%3A%27%22%2C%3C%2E%3E%2F%3F");
    std::string receiver = "q=";
    Escape::encodeURLParamAppend(receiver, "1+1");
    EXPECT_EQ(receiver, "q=1%2B1");
}

}  // namespace
