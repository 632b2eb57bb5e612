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

using Append = void (*)(std::string&, const std::optional<std::string>&);

struct EscapeCase {
    Append append;
    std::string text;
    std::string appended;
};

const EscapeCase kEscapes[] = {
    {Escape::escapeXMLAndAppend, "a<b&c>'\"", "a&lt;b&amp;c&gt;&apos;&quot;"},
    // Entities produced by later entries are not escaped again; those in the input are.
    {Escape::escapeXMLAndAppend, "&amp;<", "&amp;amp;&lt;"},
    {Escape::escapeXMLAndAppend, "", ""},
    {Escape::escapeXMLAndAppend, "Gr\xC3\xBC\xC3\x9F" "e <\xC3\xA9> \xF0\x9F\x98\x80",
     "Gr\xC3\xBC\xC3\x9F" "e &lt;\xC3\xA9&gt; \xF0\x9F\x98\x80"},
    {Escape::escapeHTMLAndAppend, "&<>'\" ", "&amp;&lt;&gt;&apos;&quot;&nbsp;"},
    {Escape::escapeHTMLAndAppend, "&lt;  ", "&amp;lt;&nbsp;&nbsp;"},
    // Only U+0020 is a space here: tab, line feed and U+00A0 stay as they are.
    {Escape::escapeHTMLAndAppend, "\t\n\xC2\xA0", "\t\n\xC2\xA0"},
    // Only letters and digits stay, every other byte is percent-encoded.
    {Escape::encodeURLParamAppend, "AZaz09", "AZaz09"},
    {Escape::encodeURLParamAppend, "a-b_c.d~e", "a%2Db%5Fc%2Ed%7Ee"},
    {Escape::encodeURLParamAppend, "caf\xC3\xA9 \xF0\x9F\x98\x80", "caf%C3%A9%20%F0%9F%98%80"},
    {Escape::encodeURLParamAppend, std::string("\n\t\x7F\0", 4), "%0A%09%7F%00"},
    {Escape::encodeURLParamAppend, "`!@#$%^&*()=+[{]}\\|;:'\",<>/?",
     "%60%21%40%23%24%25%5E%26%2A%28%29%3D%2B%5B%7B%5D%7D%5C%7C%3B%3A%27%22%2C%3C%3E%2F%3F"},
};

TEST(KVLEscapeUtil, EachFormAppendsTheEscapedTextAndSkipsNil) {
    for (const EscapeCase& escape : kEscapes) {
        std::string receiver = "<kept>";
        escape.append(receiver, escape.text);
        EXPECT_EQ(receiver, "<kept>" + escape.appended) << escape.text;
        escape.append(receiver, std::nullopt);
        EXPECT_EQ(receiver, "<kept>" + escape.appended) << escape.text;
    }
    std::string declaration = "head:";
    Escape::appendXMLDeclaration(declaration);
    EXPECT_EQ(declaration, "head:<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
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
    Escape::escapeHTMLAndReplace(text, std::nullopt, "_");
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

}  // namespace
