#include "Platform/PropertyListSerialization.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "Platform/PlistValue.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::Date;
using platform::Error;
using platform::PlistArray;
using platform::PlistData;
using platform::PlistDictionary;
using platform::PlistValue;
using platform::PropertyListSerialization;

// A binary list: {Name = Orvane; Count = -42; Before = 10.5 s before 2001; After = one day
// and 0.25 s after 2001; Bytes = <00ff10>; List = (true, 2.5)}.
const std::string kBinary(
    "\x62\x70\x6c\x69\x73\x74\x30\x30\xd6\x01\x03\x05\x07\x09\x0b\x02\x04\x06\x08\x0a\x0c\x54\x4e\x61"
    "\x6d\x65\x56\x4f\x72\x76\x61\x6e\x65\x55\x43\x6f\x75\x6e\x74\x13\xff\xff\xff\xff\xff\xff\xff\xd6"
    "\x56\x42\x65\x66\x6f\x72\x65\x33\xc0\x25\x00\x00\x00\x00\x00\x00\x55\x41\x66\x74\x65\x72\x33\x40"
    "\xf5\x18\x04\x00\x00\x00\x00\x55\x42\x79\x74\x65\x73\x43\x00\xff\x10\x54\x4c\x69\x73\x74\xa2\x0d"
    "\x0e\x09\x22\x40\x20\x00\x00\x08\x15\x1a\x21\x27\x30\x37\x40\x46\x4f\x55\x59\x5e\x61\x62\x00\x00"
    "\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x0f\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x67",
    150);

const char kXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n"
    "\t<key>Identifier</key>\n\t<string>com.orvane.test</string>\n"
    "\t<key>When</key>\n\t<date>2000-12-31T23:59:50Z</date>\n"
    "\t<key>Bytes</key>\n\t<data>AAH/</data>\n"
    "\t<key>Big</key>\n\t<integer>9223372036854775807</integer>\n"
    "</dict>\n"
    "</plist>\n";

class PropertyListSerializationTest : public kvltest::TemporaryRootTest {
protected:
    // The number of entries in the root: a failed write must leave no temporary file behind.
    std::ptrdiff_t entries() const {
        return std::distance(std::filesystem::directory_iterator(root()), std::filesystem::directory_iterator());
    }
};

TEST(PropertyListSerialization, ReadsBothFormatsWithExactDatesAndData) {
    using Format = PropertyListSerialization::Format;
    const struct {
        std::string bytes;
        Format format;
        PlistDictionary expected;
    } cases[] = {
        {kBinary,
         Format::Binary,
         {{"Name", PlistValue("Orvane")},
          {"Count", PlistValue(-42)},
          {"Before", PlistValue(Date::fromTimeIntervalSinceReferenceDate(-10.5))},
          {"After", PlistValue(Date::fromTimeIntervalSinceReferenceDate(86400.25))},
          {"Bytes", PlistValue(PlistData{0x00, 0xff, 0x10})},
          {"List", PlistValue(PlistArray{PlistValue(true), PlistValue(2.5)})}}},
        {kXml,
         Format::XML,
         {{"Identifier", PlistValue("com.orvane.test")},
          {"When", PlistValue(Date::fromTimeIntervalSince1970(978307200.0 - 10))},
          {"Bytes", PlistValue(PlistData{0x00, 0x01, 0xff})},
          {"Big", PlistValue(std::int64_t{9223372036854775807})}}},
    };
    for (const auto& test : cases) {
        Format format = test.format == Format::XML ? Format::Binary : Format::XML;
        EXPECT_EQ(PropertyListSerialization::propertyListWithData(test.bytes, nullptr, &format),
                  PlistValue(test.expected));
        EXPECT_EQ(format, test.format);
    }
}

TEST(PropertyListSerialization, RefusesEveryTruncationAndTrailingJunk) {
    const std::string xml(kXml);
    for (std::size_t length = 0; length < xml.size() - 1; ++length) {
        Error error;
        EXPECT_FALSE(PropertyListSerialization::propertyListWithData(xml.substr(0, length), &error))
            << "XML cut at " << length;
        EXPECT_EQ(error.code, 3840);
    }
    for (std::size_t length = 0; length < kBinary.size(); ++length) {
        EXPECT_FALSE(PropertyListSerialization::propertyListWithData(kBinary.substr(0, length)))
            << "binary cut at " << length;
    }
    Error error;
    EXPECT_FALSE(PropertyListSerialization::propertyListWithData(xml + "<string>more</string>", &error));
    EXPECT_EQ(error.localizedDescription, "The data couldn’t be read because it isn’t in the correct format.");

    // {"k" = "v"}, then with a NUL as the value and as the key: refused, not a crash.
    const std::string kv(
        "bplist00\xd1\x01\x02QkQv\x08\x0b\x0d\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00"
        "\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0f",
        50);
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(kv), PlistValue(PlistDictionary{{"k", PlistValue("v")}}));
    for (const std::size_t at : {12u, 14u}) {
        std::string withNul = kv;
        withNul[at] = '\0';
        EXPECT_FALSE(PropertyListSerialization::propertyListWithData(withNul, &error)) << at;
        EXPECT_EQ(error.code, 3840);
    }
}

TEST_F(PropertyListSerializationTest, ContentsOfFileAnswerNullForWhatIsNotTheirType) {
    writeFile("d.plist", kXml);
    writeFile("a.plist", "<plist><array><string>x</string></array></plist>");
    EXPECT_FALSE(PropertyListSerialization::arrayWithContentsOfFile(path("d.plist")));
    EXPECT_EQ(PropertyListSerialization::arrayWithContentsOfFile(path("a.plist")), PlistArray{PlistValue("x")});
    EXPECT_FALSE(PropertyListSerialization::dictionaryWithContentsOfFile(path("a.plist")));
}

TEST_F(PropertyListSerializationTest, WritesXmlThatReadsBackAsTheSameValue) {
    const PlistDictionary written{
        {"Text", PlistValue("a <b> & \"c\" — é")},
        {"Negative", PlistValue(std::int64_t{-9000000000})},
        {"Real", PlistValue(0.1)},
        {"Flags", PlistValue(PlistArray{PlistValue(true), PlistValue(false)})},
        {"Data", PlistValue(PlistData{0x00, 0x01, 0xfe, 0xff})},
        {"Date", PlistValue(Date::fromTimeIntervalSinceReferenceDate(-10))},
        {"Empty", PlistValue(PlistDictionary{})},
        {"Nested", PlistValue(PlistDictionary{{"List", PlistValue(PlistArray{})}})},
    };
    const std::string file = path("out.plist");
    ASSERT_TRUE(PropertyListSerialization::writeToFile(written, file));
    EXPECT_EQ(PropertyListSerialization::dictionaryWithContentsOfFile(file), written);
    EXPECT_TRUE(readFile(file).starts_with("<?xml"));

    // XML holds whole seconds: a fraction is rounded down, also before the reference date.
    ASSERT_TRUE(
        PropertyListSerialization::writeToFile(PlistArray{PlistValue(Date::fromTimeIntervalSinceReferenceDate(-10.5)),
                                                          PlistValue(Date::fromTimeIntervalSinceReferenceDate(7.75))},
                                               file));
    EXPECT_EQ(PropertyListSerialization::arrayWithContentsOfFile(file),
              (PlistArray{PlistValue(Date::fromTimeIntervalSinceReferenceDate(-11)),
                          PlistValue(Date::fromTimeIntervalSinceReferenceDate(7))}));
}

TEST_F(PropertyListSerializationTest, FailedWritesLeaveTheOldFileAndNoTemporaryFile) {
    const std::string file = path("keep.plist");
    ASSERT_TRUE(PropertyListSerialization::writeToFile(PlistValue("old"), file));

    Error error;
    EXPECT_FALSE(PropertyListSerialization::writeToFile(PlistValue(std::string("a\0b", 3)), file, &error));
    EXPECT_EQ(error.code, 3852);
    EXPECT_FALSE(PropertyListSerialization::writeToFile(PlistValue(Date::fromTimeIntervalSinceReferenceDate(1e12)),
                                                        file, &error));
    EXPECT_EQ(error.code, 3852);

    EXPECT_FALSE(PropertyListSerialization::writeToFile(PlistValue(1), path("nope/x.plist"), &error));
    EXPECT_EQ(error.code, 4);

    EXPECT_EQ(PropertyListSerialization::propertyListWithContentsOfFile(file), PlistValue("old"));
    // The home and temporary folders of the root, the file, and nothing else.
    EXPECT_EQ(entries(), 3);

    // A folder in the way of the rename.
    std::filesystem::create_directory(path("blocked.plist"));
    EXPECT_FALSE(PropertyListSerialization::writeToFile(PlistValue("new"), path("blocked.plist"), &error));
    EXPECT_EQ(error.underlyingError->code, EISDIR);
    EXPECT_EQ(entries(), 4);
}

std::string repeated(const std::string& text, std::size_t times) {
    std::string result;
    while (times-- > 0) {
        result += text;
    }
    return result;
}

// `arrays` arrays around a string: arrays + 1 levels.
std::string xmlList(std::size_t arrays, const std::string& inner = "") {
    return "<plist version=\"1.0\">" + repeated("<array>", arrays) + inner + "<string>x</string>" +
           repeated("</array>", arrays) + "</plist>";
}

// A binary list of arrays of 4-byte references (fewer than 15 each), object 0 the root.
std::string binaryList(const std::vector<std::vector<std::uint32_t>>& arrays) {
    const auto bigEndian = [](std::uint64_t value, int size) {
        std::string bytes;
        for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
            bytes += static_cast<char>(value >> shift & 0xFF);
        }
        return bytes;
    };
    std::string bytes = "bplist00";
    std::string offsets;
    for (const auto& references : arrays) {
        offsets += bigEndian(bytes.size(), 4);
        bytes += static_cast<char>(0xA0 | references.size());
        for (const std::uint32_t reference : references) {
            bytes += bigEndian(reference, 4);
        }
    }
    return bytes + offsets + std::string(6, '\0') + "\x04\x04" + bigEndian(arrays.size(), 8) + bigEndian(0, 8) +
           bigEndian(bytes.size(), 8);
}

// `levels` arrays, each holding the next `fanOut` times.
std::string binaryChain(std::uint32_t levels, std::size_t fanOut = 1) {
    std::vector<std::vector<std::uint32_t>> arrays(levels);
    for (std::uint32_t i = 0; i + 1 < levels; ++i) {
        arrays[i].assign(fanOut, i + 1);
    }
    return binaryList(arrays);
}

TEST(PropertyListDepth, ReadsUpToTheLimitAndRefusesDeeperListsClearly) {
    const std::string tooDeep = "The data couldn’t be read because it is nested deeper than 512 levels.";
    const std::string corrupt = "The data couldn’t be read because it isn’t in the correct format.";
    const std::string expanded = "The data couldn’t be read because its shared objects expand beyond 64 MiB.";
    const struct {
        const char* name;
        std::string bytes;
        std::string refusal;  // empty: reads
    } cases[] = {
        {"XML at the limit", xmlList(511), ""},
        {"XML one level deeper", xmlList(512), tooDeep},
        {"XML closing tags in a comment", xmlList(512, "<!--" + repeated("</array>", 9) + "-->"), tooDeep},
        {"binary at the limit", binaryChain(512), ""},
        {"binary one level deeper", binaryChain(513), tooDeep},
        {"binary sharing one object twice a level", binaryChain(21, 2), expanded},
        {"binary holding itself", binaryList({{1}, {0}}), corrupt},
        {"binary reference out of range", binaryList({{2}, {}}), corrupt},
    };
    for (const auto& test : cases) {
        Error error;
        const auto value = PropertyListSerialization::propertyListWithData(test.bytes, &error);
        EXPECT_EQ(value.has_value(), test.refusal.empty()) << test.name;
        if (!test.refusal.empty()) {
            EXPECT_EQ(error.code, 3840) << test.name;
            EXPECT_EQ(error.localizedDescription, test.refusal) << test.name;
        }
    }
}

TEST(PropertyListDepth, WritesNoValueDeeperThanItWouldRead) {
    PlistValue value("x");
    for (int level = 1; level < 512; ++level) {
        value = PlistValue(PlistArray{std::move(value)});
    }
    const auto xml = PropertyListSerialization::xmlDataWithPropertyList(value);
    ASSERT_TRUE(xml.has_value());
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(*xml), value);
    Error error;
    EXPECT_FALSE(PropertyListSerialization::xmlDataWithPropertyList(PlistValue(PlistArray{value}), &error));
    EXPECT_EQ(error.code, 3852);
    EXPECT_EQ(error.localizedDescription, "The property list is nested deeper than 512 levels.");
}

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
    EXPECT_EQ(platform::description(dictionary),
              "{\n    Bytes = <deadbeef 01>;\n    Flag = 0;\n    Inner = {\n        n = 3;\n    };\n"
              "    List = (\n        1,\n        \"\"\n    );\n    Plain = LogLevel;\n"
              "    When = 1970-01-01 00:00:00 +0000;\n    \"With space\" = \"a \\\"quoted\\\" text\";\n}");
}

}  // namespace
