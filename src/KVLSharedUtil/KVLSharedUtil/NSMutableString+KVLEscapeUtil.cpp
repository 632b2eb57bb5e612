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
        case '"': return true;
        case ' ': return kEntries == Entries::HTML;
        default: return false;
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

// Texts are searched 16 bytes at a time with a vector compare.
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
std::uint32_t toEscapeIn(const char* bytes) {
    Block block;
    std::memcpy(&block, bytes, sizeof(Block));
    auto matches = ((block | 0x01) == 0x27) | ((block | 0x02) == 0x3E) | (block == '"');
    if constexpr (kEntries == Entries::HTML) {
        matches |= (block == ' ');
    }
    return bitsOf(reinterpret_cast<Block&>(matches));
}

// A chunk of text searched as one: a chunk without a character to replace (the common case)
// costs one predicted branch.
constexpr std::size_t kChunk = 64;

// The bytes of the chunk to replace, one bit per byte.
template <Entries kEntries>
std::uint64_t toEscapeInChunk(const char* bytes) {
    std::uint64_t toEscape = 0;
    for (std::size_t block = 0; block < kChunk / sizeof(Block); ++block) {
        toEscape |= static_cast<std::uint64_t>(toEscapeIn<kEntries>(bytes + block * sizeof(Block)))
                    << (block * sizeof(Block));
    }
    return toEscape;
}

// The escaped text is made in a small buffer that stays in the cache and is appended to out
// whenever it fills: out only ever grows by appending into its reserved capacity, and is
// never filled with anything but the result.
constexpr std::size_t kStagingSize = 4096;
// What one chunk can add beyond kStagingSize: every byte replaced by the longest entity
// (padded to eight bytes), then a whole chunk copied past the last replacement.
constexpr std::size_t kStagingSlack = kChunk * sizeof(Entity::bytes) + kChunk;

// Appends text to out with each character to replace replaced; a space (HTML only) becomes
// space.
template <Entries kEntries>
void appendEscaped(std::string& out, std::string_view text, std::string_view space) {
    Entity spaceEntity{{}, space.size()};
    const bool spaceFits = space.size() <= sizeof(spaceEntity.bytes);
    if (spaceFits) {
        std::memcpy(spaceEntity.bytes, space.data(), space.size());
    }
    const auto entityOf = [&](unsigned char character) {
        return kEntityIndex[character] == kSpaceIndex ? &spaceEntity : &kEntities[kEntityIndex[character]];
    };
    out.reserve(out.size() + text.size() + text.size() / 16);
    const char* const input = text.data();
    const std::size_t size = text.size();
    std::size_t read = 0;
    if (spaceFits) {
        char staging[kStagingSize + kStagingSlack];
        std::size_t staged = 0;
        // Unchanged runs are copied a whole chunk at a time from where they start, the next
        // replacement or run overwriting what was copied beyond; so the input is read up to a
        // chunk past the one searched.
        for (; read + 2 * kChunk <= size; read += kChunk) {
            if (staged > kStagingSize) {
                out.append(staging, staged);
                staged = 0;
            }
            std::uint64_t toEscape = toEscapeInChunk<kEntries>(input + read);
            std::size_t unchanged = read;
            for (; toEscape != 0; toEscape &= toEscape - 1) {
                const std::size_t at = read + static_cast<std::size_t>(std::countr_zero(toEscape));
                std::memcpy(staging + staged, input + unchanged, kChunk);
                staged += at - unchanged;
                const Entity* entity = entityOf(static_cast<unsigned char>(input[at]));
                std::memcpy(staging + staged, entity->bytes, sizeof(entity->bytes));
                staged += entity->size;
                unchanged = at + 1;
            }
            std::memcpy(staging + staged, input + unchanged, kChunk);
            staged += read + kChunk - unchanged;
        }
        out.append(staging, staged);
    }
    // The rest, and any text whose space replacement is too long for an entity, byte by byte.
    std::size_t unchanged = read;
    for (; read < size; ++read) {
        const auto character = static_cast<unsigned char>(input[read]);
        if (needsEscape<kEntries>(character)) {
            out.append(input + unchanged, read - unchanged);
            if (character == ' ') {
                out.append(space);
            } else {
                out.append(entityOf(character)->bytes, entityOf(character)->size);
            }
            unchanged = read + 1;
        }
    }
    out.append(input + unchanged, size - unchanged);
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

void NSMutableStringKVLEscapeUtil::appendXMLDeclaration(std::string& self) { self.append(kXMLDeclaration); }

void NSMutableStringKVLEscapeUtil::escapeXML(std::string&, std::string& text) { escapeInPlace<Entries::XML>(text); }

void NSMutableStringKVLEscapeUtil::escapeXMLAndAppend(std::string& self, const std::optional<std::string>& text) {
    if (text) {
        appendEscaped<Entries::XML>(self, *text, kNonBreakingSpace);
    }
}

void NSMutableStringKVLEscapeUtil::escapeHTML(std::string&, std::string& text) { escapeInPlace<Entries::HTML>(text); }

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
