#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/PropertyListSerialization.h"

namespace {

using platform::Error;
using platform::PlistArray;
using platform::PlistValue;
using platform::PropertyListSerialization;

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
        {"XML far deeper", xmlList(100000), tooDeep},
        {"XML closing tags in a comment", xmlList(512, "<!--" + repeated("</array>", 9) + "-->"), tooDeep},
        {"binary at the limit", binaryChain(512), ""},
        {"binary one level deeper", binaryChain(513), tooDeep},
        {"binary far deeper", binaryChain(100000), tooDeep},
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

}  // namespace
