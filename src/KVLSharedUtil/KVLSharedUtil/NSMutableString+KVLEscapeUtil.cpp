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

// One bit per byte of the block (bit i for byte i), set where matches holds 0xFF.
std::uint32_t bitsOf(Block matches) {
#if defined(__SSE2__)
    using SignedBlock = char __attribute__((vector_size(16)));
    return static_cast<std::uint16_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<SignedBlock&>(matches)));
#else
    static_assert(std::endian::native == std::endian::little, "byte i of the block is byte i of its first lane");
    // Gathers the low bit of each byte of a lane into the lane's top byte.
    constexpr std::uint64_t kLowBits = 0x0101010101010101;
    constexpr std::uint64_t kGather = 0x0102040810204080;
    std::uint64_t lanes[2];
    std::memcpy(lanes, &matches, sizeof(lanes));
    return static_cast<std::uint32_t>((((lanes[0] & kLowBits) * kGather) >> 56) |
                                      ((((lanes[1] & kLowBits) * kGather) >> 56) << 8));
#endif
}

// The bytes of the block to replace, one bit per byte. '&' and '\'' are 0x26 and 0x27, '<' and
// '>' are 0x3C and 0x3E: each pair is one comparison after setting the bit they differ in.
template <Entries kEntries>
std::uint32_t toEscapeIn(const Block& bytes) {
    auto matches = ((bytes | 0x01) == 0x27) | ((bytes | 0x02) == 0x3E) | (bytes == '"');
    if constexpr (kEntries == Entries::HTML) {
        matches |= (bytes == ' ');
    }
    return bitsOf(reinterpret_cast<Block&>(matches));
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
            const std::uint32_t toEscape = toEscapeIn<kEntries>(bytes);
            // A branch rather than a count of the bytes to skip: predicted, it lets the next
            // block's search start before this one's ends.
            if (toEscape == 0) {
                written += sizeof(Block);
                read += sizeof(Block);
                continue;
            }
            const auto offset = static_cast<std::size_t>(std::countr_zero(toEscape));
            written += offset;
            read += offset;
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
