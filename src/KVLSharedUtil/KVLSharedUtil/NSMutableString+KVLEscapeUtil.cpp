#include "KVLSharedUtil/NSMutableString+KVLEscapeUtil.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::string_view kXMLDeclaration = R"(<?xml version="1.0" encoding="UTF-16"?>)";
constexpr std::string_view kNonBreakingSpace = "&nbsp;";

enum class Entries { XML, HTML };

// The characters that an escape replaces. The entries never produce one of them other than
// the ampersand, and the ampersand is replaced first, so replacing each occurrence once, in
// one pass, gives what applying the entries one after another gives.
template <Entries kEntries>
constexpr bool needsEscape(unsigned char byte) {
    switch (byte) {
        case '&':
        case '<':
        case '>':
        case '\'':
        case '"':
            return true;
        case ' ':
            return kEntries == Entries::HTML;
        default:
            return false;
    }
}

// A replacement padded to eight bytes, so that it is written with one fixed-size store.
struct Entity {
    char bytes[8];
    std::size_t size;
};
constexpr Entity kEntities[] = {{"&amp;", 5}, {"&lt;", 4}, {"&gt;", 4}, {"&apos;", 6}, {"&quot;", 6}};
constexpr std::uint8_t kSpaceIndex = std::size(kEntities);

// The entity of each character to replace, found without a branch on the character.
constexpr auto kEntityIndex = [] {
    std::array<std::uint8_t, 256> index{};
    index['&'] = 0;
    index['<'] = 1;
    index['>'] = 2;
    index['\''] = 3;
    index['"'] = 4;
    index[' '] = kSpaceIndex;
    return index;
}();

// Texts are taken 16 bytes at a time: each block is copied to the output whole, and when it
// holds a character to replace, the output advances only to that character, the replacement
// follows and the next block starts right after it. Most text holds few characters to
// replace, so this costs little more than a copy.
using Block = unsigned char __attribute__((vector_size(16)));
static_assert(std::endian::native == std::endian::little, "the first matching lane is found from the low end");

// The offset in the block of the first character to replace, or the block's size.
template <Entries kEntries>
std::size_t firstToEscape(const Block& bytes) {
    auto matches = (bytes == '&') | (bytes == '<') | (bytes == '>') | (bytes == '\'') | (bytes == '"');
    if constexpr (kEntries == Entries::HTML) {
        matches |= (bytes == ' ');
    }
    std::uint64_t lanes[2];
    std::memcpy(lanes, &matches, sizeof(lanes));
    if (lanes[0] != 0) {
        return std::countr_zero(lanes[0]) / 8;
    }
    if (lanes[1] != 0) {
        return 8 + std::countr_zero(lanes[1]) / 8;
    }
    return sizeof(Block);
}

// Appends text to out with each character to replace replaced; a space (HTML only) becomes
// space.
template <Entries kEntries>
void appendEscaped(std::string& out, std::string_view text, std::string_view space) {
    Entity spaceEntity{{}, space.size()};
    const bool spaceFits = space.size() <= sizeof(spaceEntity.bytes);
    if (spaceFits) {
        std::memcpy(spaceEntity.bytes, space.data(), space.size());
    }
    // The output is written through a pointer into out, kept long enough for one more block
    // or replacement beyond the rest of the text copied as it is; out is cut to size at the end.
    const std::size_t slack = std::max(space.size(), sizeof(Block));
    const char* const input = text.data();
    std::size_t read = 0;
    std::size_t written = out.size();
    char* output = nullptr;
    const auto makeRoom = [&] {
        const std::size_t needed = written + (text.size() - read) + slack;
        if (out.size() < needed) {
            out.resize(std::max(needed + needed / 16, out.size() + out.size() / 2));
        }
        output = out.data();
    };
    makeRoom();
    while (read < text.size()) {
        if (read + sizeof(Block) <= text.size()) {
            Block bytes;
            std::memcpy(&bytes, input + read, sizeof(Block));
            std::memcpy(output + written, &bytes, sizeof(Block));
            const std::size_t offset = firstToEscape<kEntries>(bytes);
            written += offset;
            read += offset;
            if (offset == sizeof(Block)) {
                continue;
            }
        } else if (!needsEscape<kEntries>(static_cast<unsigned char>(input[read]))) {
            output[written++] = input[read++];
            continue;
        }
        const unsigned char character = static_cast<unsigned char>(input[read++]);
        if (character == ' ' && !spaceFits) {
            std::memcpy(output + written, space.data(), space.size());
            written += space.size();
            makeRoom();
            continue;
        }
        const Entity* entity = kEntityIndex[character] == kSpaceIndex ? &spaceEntity : &kEntities[kEntityIndex[character]];
        std::memcpy(output + written, entity->bytes, sizeof(entity->bytes));
        written += entity->size;
        makeRoom();
    }
    out.resize(written);
}

template <Entries kEntries>
void escapeInPlace(std::string& text) {
    std::string escaped;
    appendEscaped<kEntries>(escaped, text, kNonBreakingSpace);
    text = std::move(escaped);
}

bool isASCIIAlphanumeric(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

void NSMutableStringKVLEscapeUtil::appendXMLDeclaration(std::string& self) {
    self.append(kXMLDeclaration);
}

void NSMutableStringKVLEscapeUtil::escapeXML(std::string&, std::string& text) {
    escapeInPlace<Entries::XML>(text);
}

void NSMutableStringKVLEscapeUtil::escapeXMLAndAppend(std::string& self, const std::optional<std::string>& text) {
    if (text) {
        appendEscaped<Entries::XML>(self, *text, kNonBreakingSpace);
    }
}

void NSMutableStringKVLEscapeUtil::escapeHTML(std::string&, std::string& text) {
    escapeInPlace<Entries::HTML>(text);
}

void NSMutableStringKVLEscapeUtil::escapeHTMLAndAppend(std::string& self, const std::optional<std::string>& text) {
    if (text) {
        appendEscaped<Entries::HTML>(self, *text, kNonBreakingSpace);
    }
}

void NSMutableStringKVLEscapeUtil::escapeHTMLAndReplace(std::string& self, const std::optional<std::string>& text,
                                                        const std::optional<std::string>& replacement) {
    if (text) {
        appendEscaped<Entries::HTML>(self, *text, replacement ? std::string_view(*replacement) : kNonBreakingSpace);
    }
}

void NSMutableStringKVLEscapeUtil::encodeURLParamAppend(std::string& self, const std::optional<std::string>& text) {
    if (!text) {
        return;
    }
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    self.reserve(self.size() + text->size() * 3);
    for (const char character : *text) {
        const auto byte = static_cast<unsigned char>(character);
        if (isASCIIAlphanumeric(byte)) {
            self.push_back(character);
        } else {
            const char encoded[3] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
            self.append(encoded, sizeof(encoded));
        }
    }
}

void NSMutableStringKVLEscapeUtil::appendXMLTag(std::string& self, const std::string& tagName,
                                                const std::optional<std::string>& value) {
    self.append("<").append(tagName).append(">");
    escapeXMLAndAppend(self, value);
    self.append("</").append(tagName).append(">");
}
