#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/PropertyListSerialization.h"
#include "Platform/PropertyListShape.h"

namespace {

using platform::Error;
using platform::PlistArray;
using platform::PlistValue;
using platform::PropertyListSerialization;

const std::string kTooDeep = "The data couldn’t be read because it is nested deeper than 512 levels.";
const std::string kCorrupt = "The data couldn’t be read because it isn’t in the correct format.";
const std::string kExpanded = "The data couldn’t be read because its shared objects expand beyond 64 MiB.";

std::string repeated(const std::string& text, std::size_t times) {
    std::string result;
    for (std::size_t i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

// `arrays` arrays around a string, so arrays + 1 levels; `inner` goes after the innermost opening.
std::string xmlList(std::size_t arrays, const std::string& inner = "") {
    return "<?xml version=\"1.0\"?><plist version=\"1.0\">" + repeated("<array>", arrays) + inner +
           "<string>x</string>" + repeated("</array>", arrays) + "</plist>";
}

void appendBigEndian(std::string& bytes, std::uint64_t value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
        bytes += static_cast<char>(value >> shift & 0xFF);
    }
}

// A binary list of arrays (each under 15 references), object 0 the root.
std::string binaryList(const std::vector<std::vector<std::uint32_t>>& arrays) {
    std::string bytes = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto& references : arrays) {
        offsets.push_back(bytes.size());
        bytes += static_cast<char>(0xA0 | references.size());
        for (const std::uint32_t reference : references) {
            appendBigEndian(bytes, reference, 4);
        }
    }
    const std::uint64_t table = bytes.size();
    for (const std::uint64_t offset : offsets) {
        appendBigEndian(bytes, offset, 4);
    }
    bytes += std::string(6, '\0') + "\x04\x04";
    appendBigEndian(bytes, arrays.size(), 8);
    appendBigEndian(bytes, 0, 8);
    appendBigEndian(bytes, table, 8);
    return bytes;
}

// Arrays each holding the next `fanOut` times; the last one empty.
std::string binaryChain(std::uint32_t levels, std::size_t fanOut = 1) {
    std::vector<std::vector<std::uint32_t>> arrays(levels);
    for (std::uint32_t i = 0; i + 1 < levels; ++i) {
        arrays[i].assign(fanOut, i + 1);
    }
    return binaryList(arrays);
}

TEST(PropertyListDepth, ReadsUpToTheLimitAndRefusesDeeperListsClearly) {
    const struct {
        const char* name;
        std::string bytes;
        const std::string* refusal;  // null: reads
    } cases[] = {
        {"XML at the limit", xmlList(511), nullptr},
        {"XML one level deeper", xmlList(512), &kTooDeep},
        {"XML far deeper", xmlList(100000), &kTooDeep},
        {"XML closing tags in a comment", xmlList(512, "<!--" + repeated("</array>", 9) + "-->"), &kTooDeep},
        {"binary at the limit", binaryChain(512), nullptr},
        {"binary one level deeper", binaryChain(513), &kTooDeep},
        {"binary far deeper", binaryChain(100000), &kTooDeep},
        {"binary sharing one object twice a level", binaryChain(21, 2), &kExpanded},
        {"binary holding itself", binaryList({{1}, {0}}), &kCorrupt},
        {"binary reference out of range", binaryList({{2}, {}}), &kCorrupt},
    };
    for (const auto& test : cases) {
        Error error;
        const auto value = PropertyListSerialization::propertyListWithData(test.bytes, &error);
        if (test.refusal == nullptr) {
            EXPECT_TRUE(value.has_value()) << test.name;
            continue;
        }
        EXPECT_FALSE(value.has_value()) << test.name;
        EXPECT_EQ(error.code, 3840) << test.name;
        EXPECT_EQ(error.localizedDescription, *test.refusal) << test.name;
    }
}

TEST(PropertyListDepth, WritesNoValueDeeperThanItWouldRead) {
    for (const std::size_t levels : {platform::PropertyListShape::kMaximumDepth, std::size_t{513}}) {
        PlistValue value("x");
        for (std::size_t level = 1; level < levels; ++level) {
            value = PlistValue(PlistArray{std::move(value)});
        }
        Error error;
        const auto xml = PropertyListSerialization::xmlDataWithPropertyList(value, &error);
        if (levels == platform::PropertyListShape::kMaximumDepth) {
            ASSERT_TRUE(xml.has_value());
            EXPECT_EQ(PropertyListSerialization::propertyListWithData(*xml), value);
            continue;
        }
        EXPECT_FALSE(xml.has_value());
        EXPECT_EQ(error.code, 3852);
        EXPECT_EQ(error.localizedDescription, "The property list is nested deeper than 512 levels.");
    }
}

}  // namespace
