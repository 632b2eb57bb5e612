#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "KVLSharedUtil/KVLEscaper.h"
#include "KVLSharedUtil/NSMutableString+KVLEscapeUtil.h"

namespace {

using Escape = NSMutableStringKVLEscapeUtil;

const std::vector<std::pair<std::string, std::string>> kXMLEntries = {
    {"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}, {"'", "&apos;"}, {"\"", "&quot;"}};

// The entries applied literally: one after another, each over the whole current text.
std::string escapedEntryAfterEntry(std::string text, bool html, const std::string& space) {
    auto entries = kXMLEntries;
    if (html) {
        entries.emplace_back(" ", space);
    }
    for (const auto& [character, replacement] : entries) {
        for (std::size_t at = text.find(character); at != std::string::npos;
             at = text.find(character, at + replacement.size())) {
            text.replace(at, character.size(), replacement);
        }
    }
    return text;
}

// Whether the one-pass XML and HTML forms of every kernel this machine runs equal the entries
// applied one after another.
bool onePassMatches(const std::string& text, const std::string& space = "&nbsp;") {
    for (const auto kernel : {KVLEscaper::Kernel::Portable, KVLEscaper::Kernel::AVX512}) {
        std::string xml, html;
        if (KVLEscaper::runs(kernel)) {
            KVLEscaper::append(xml, text, KVLEscaper::Entries::XML, space, kernel);
            KVLEscaper::append(html, text, KVLEscaper::Entries::HTML, space, kernel);
            if (xml != escapedEntryAfterEntry(text, false, space) ||
                html != escapedEntryAfterEntry(text, true, space)) {
                return false;
            }
        }
    }
    return true;
}

using Append = void (*)(std::string&, const std::optional<std::string>&);

struct EscapeCase {
    Append append;
    std::string text;
    std::string appended;
};

const EscapeCase kEscapes[] = {
    // Entities produced by later entries are not escaped again; those in the input are.
    {Escape::escapeXMLAndAppend, "&amp;<>'\" \xC3\xA9", "&amp;amp;&lt;&gt;&apos;&quot; \xC3\xA9"},
    // Only U+0020 is a space here: tab, line feed and U+00A0 stay as they are.
    {Escape::escapeHTMLAndAppend, "&lt;  \t\n\xC2\xA0", "&amp;lt;&nbsp;&nbsp;\t\n\xC2\xA0"},
    // Only letters and digits stay, every other byte is percent-encoded.
    {Escape::encodeURLParamAppend, std::string("AZaz09-_.~\xC3\xA9 \n\0", 15), "AZaz09%2D%5F%2E%7E%C3%A9%20%0A%00"},
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
    // Each special character at every offset of texts from one byte to three 64-byte chunks
    // and a tail, in the chunks and in the rest taken byte by byte.
    for (const char special : std::string("&<>'\" ")) {
        for (std::size_t length = 1; length <= 200; ++length) {
            for (std::size_t at = 0; at < length; ++at) {
                std::string text(length, 'x');
                text[at] = special;
                ASSERT_TRUE(onePassMatches(text)) << text;
            }
        }
    }
}

TEST(KVLEscapeUtil, OnePassEqualsEntryAfterEntryInDenseTextsWithEverySpaceReplacement) {
    const auto repeated = [](const std::string& piece, std::size_t times) {
        std::string text;
        while (times-- > 0) {
            text += piece;
        }
        return text;
    };
    // Every byte replaced, several replacements in one chunk, replacements across chunks and a
    // text longer than the kernels' staging buffer with eight (XML) or nine (HTML) in each chunk;
    // space replacements up to the longest entity and longer.
    const std::string texts[] = {repeated("&<>'\" ", 50), repeated("ab<c d&e'f\"g>", 25),
                                 repeated(std::string(55, 'x') + "<> &'\"<>&", 100)};
    for (const std::string& text : texts) {
        for (const char* space : {"", "_", "&nbsp;", "12345678", "123456789", "<span class=\"gap\"></span>"}) {
            EXPECT_TRUE(onePassMatches(text, space)) << text << " with " << space;
        }
    }
}

TEST(KVLEscapeUtil, InPlaceTagAndReplaceForms) {
    std::string receiver = "a<b";
    std::string argument = "x & y";
    Escape::escapeHTML(receiver, argument);
    EXPECT_EQ(receiver, "a<b");
    EXPECT_EQ(argument, "x&nbsp;&amp;&nbsp;y");
    Escape::escapeXML(receiver, argument);
    EXPECT_EQ(argument, "x&amp;nbsp;&amp;amp;&amp;nbsp;y");

    std::string text = "<Root>";
    Escape::appendXMLTag(text, "a&b", "<v>");
    Escape::appendXMLTag(text, "Empty", std::nullopt);
    EXPECT_EQ(text, "<Root><a&b>&lt;v&gt;</a&b><Empty></Empty>");

    text = "[";
    Escape::escapeHTMLAndReplace(text, "a b<c", "&#32;");
    Escape::escapeHTMLAndReplace(text, std::nullopt, "_");
    Escape::escapeHTMLAndReplace(text, "a b", std::nullopt);
    Escape::escapeHTMLAndReplace(text, "a b", "");
    EXPECT_EQ(text, "[a&#32;b&lt;ca&nbsp;bab");
    // A replacement longer than any entity, many times over and across blocks.
    text.clear();
    std::string expected;
    for (int index = 0; index < 40; ++index)
        expected += "<span class=\"gap\"></span>";
    Escape::escapeHTMLAndReplace(text, std::string(40, ' ') + "&", "<span class=\"gap\"></span>");
    EXPECT_EQ(text, expected + "&amp;");
}

}  // namespace
