#include "KVLSharedUtil/KVLEscaper.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

using Entries = KVLEscaper::Entries;
using Kernel = KVLEscaper::Kernel;

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

// The replacements, each padded to eight bytes so that it is written with one fixed-size
// store, at the low four bits of their character: those of & < > ' " and the space differ.
// Their sizes are packed four bits each in one word, read without a load.
struct Replacements {
    char bytes[16][8];
    std::uint64_t sizes;

    std::size_t sizeOf(unsigned entity) const { return (sizes >> (4 * entity)) & 15; }
    constexpr void set(unsigned entity, std::string_view replacement) {
        std::copy(replacement.begin(), replacement.end(), bytes[entity]);
        sizes = (sizes & ~(std::uint64_t{15} << (4 * entity))) | (std::uint64_t{replacement.size()} << (4 * entity));
    }
};
constexpr std::size_t kLongestReplacement = sizeof(Replacements::bytes[0]);

constexpr Replacements kEntities = [] {
    Replacements entities{};
    const auto add = [&](unsigned char character, std::string_view entity) { entities.set(character & 15, entity); };
    add('&', "&amp;");
    add('<', "&lt;");
    add('>', "&gt;");
    add('\'', "&apos;");
    add('"', "&quot;");
    return entities;
}();

// Texts are searched 64 bytes at a time.
constexpr std::size_t kChunk = 64;

// Where the characters to replace in a chunk are taken from, in order: the chunk itself, or a
// word that holds up to eight of them from its low byte (reading each back from the chunk cost
// the vector kernel about a nanosecond a replacement).
struct CharactersInChunk {
    const char* chunk;
    unsigned next(std::size_t at) { return static_cast<unsigned char>(chunk[at]); }
};
struct CharactersInWord {
    std::uint64_t characters;
    unsigned next(std::size_t) {
        const auto character = static_cast<unsigned char>(characters);
        characters >>= 8;
        return character;
    }
};

// Writes the chunk escaped at out, given its bytes to replace (bit i for byte i) and where to
// take those characters from, and returns the end of what it wrote. Unchanged runs are copied
// a whole chunk at a time, the next replacement or run overwriting what was copied beyond, so
// it reads up to a chunk past the chunk and writes up to kChunkSlack bytes past out.
constexpr std::size_t kChunkSlack = kChunk * kLongestReplacement + kChunk;
template <class Characters>
[[gnu::always_inline]] inline char* writeEscaped(char* out, const char* chunk, std::uint64_t toEscape,
                                                 Characters characters, const Replacements& replacements) {
    // With 1% of the text to replace, half the chunks hold nothing to replace: one copy.
    if (toEscape == 0) {
        std::memcpy(out, chunk, kChunk);
        return out + kChunk;
    }
    std::size_t unchanged = 0;
    for (; toEscape != 0; toEscape &= toEscape - 1) {
        const auto at = static_cast<std::size_t>(std::countr_zero(toEscape));
        const unsigned entity = characters.next(at) & 15;
        std::memcpy(out, chunk + unchanged, kChunk);
        out += at - unchanged;
        std::memcpy(out, replacements.bytes[entity], kLongestReplacement);
        out += replacements.sizeOf(entity);
        unchanged = at + 1;
    }
    std::memcpy(out, chunk + unchanged, kChunk);
    return out + (kChunk - unchanged);
}

// A kernel escapes the chunks from chunk up to end, each with a chunk readable past it, into
// out until it has written past limit; it returns the end of what it wrote and leaves chunk at
// the first chunk not escaped.
struct Escaped {
    char* out;
    const char* chunk;
};
using EscapeChunks = Escaped (*)(char* out, const char* limit, const char* chunk, const char* end,
                                 const Replacements& replacements);

// One bit per byte of a 16-byte block (bit i for byte i), set where matches holds 0xFF.
using Block = unsigned char __attribute__((vector_size(16)));
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

// The bytes of the block to replace. '&' and '\'' are 0x26 and 0x27, '<' and '>' are 0x3C and
// 0x3E: each pair is one comparison after setting the bit they differ in.
template <Entries kEntries>
std::uint32_t toEscapeInBlock(const char* bytes) {
    Block block;
    std::memcpy(&block, bytes, sizeof(Block));
    auto matches = ((block | 0x01) == 0x27) | ((block | 0x02) == 0x3E) | (block == '"');
    if constexpr (kEntries == Entries::HTML) {
        matches |= (block == ' ');
    }
    return bitsOf(reinterpret_cast<Block&>(matches));
}

template <Entries kEntries>
Escaped escapeChunksPortable(char* out, const char* limit, const char* chunk, const char* end,
                             const Replacements& replacements) {
    for (; chunk < end && out <= limit; chunk += kChunk) {
        std::uint64_t toEscape = 0;
        for (std::size_t block = 0; block < kChunk / sizeof(Block); ++block) {
            toEscape |= static_cast<std::uint64_t>(toEscapeInBlock<kEntries>(chunk + block * sizeof(Block)))
                        << (block * sizeof(Block));
        }
        out = writeEscaped(out, chunk, toEscape, CharactersInChunk{chunk}, replacements);
    }
    return {out, chunk};
}

#if defined(__x86_64__)
#define KVL_AVX512_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2")))

// Each byte is looked up by its low four bits in its 16-byte lane of this table of the
// characters to replace (all in 0x20-0x3F, their low four bits differ), which holds 0x80 where
// there is none: no byte below 0x80 equals that, and the lookup gives 0 for the bytes above.
template <Entries kEntries>
constexpr auto kCharactersByLowBits = [] {
    std::array<unsigned char, kChunk> table{};
    for (std::size_t at = 0; at < kChunk; ++at) {
        const auto low = static_cast<unsigned char>(0x20 + at % 16);
        const auto high = static_cast<unsigned char>(0x30 + at % 16);
        table[at] = needsEscape<kEntries>(low) ? low : needsEscape<kEntries>(high) ? high : 0x80;
    }
    return table;
}();

template <Entries kEntries>
KVL_AVX512_TARGET Escaped escapeChunksAVX512(char* out, const char* limit, const char* chunk, const char* end,
                                             const Replacements& replacements) {
    const __m512i characters = _mm512_loadu_si512(kCharactersByLowBits<kEntries>.data());
    for (; chunk < end && out <= limit; chunk += kChunk) {
        const __m512i bytes = _mm512_loadu_si512(chunk);
        const std::uint64_t toEscape = _mm512_cmpeq_epi8_mask(_mm512_shuffle_epi8(characters, bytes), bytes);
        // Up to eight characters to replace are taken from a word, more are read from the chunk.
        if (toEscape != 0 && std::popcount(toEscape) <= 8) {
            const __m512i matched = _mm512_maskz_compress_epi8(toEscape, bytes);
            out = writeEscaped(out, chunk, toEscape, CharactersInWord{static_cast<std::uint64_t>(matched[0])},
                               replacements);
        } else {
            out = writeEscaped(out, chunk, toEscape, CharactersInChunk{chunk}, replacements);
        }
    }
    return {out, chunk};
}

bool runsAVX512() {
    static const bool runs = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    }();
    return runs;
}
#endif

template <Entries kEntries>
EscapeChunks kernelFor(Kernel kernel) {
#if defined(__x86_64__)
    if (kernel == Kernel::AVX512) {
        return escapeChunksAVX512<kEntries>;
    }
#endif
    return escapeChunksPortable<kEntries>;
}

// The escaped chunks are made in a small buffer that stays in the cache and is appended to out
// whenever it fills: out only ever grows by appending into its reserved capacity, and is never
// filled with anything but the result.
constexpr std::size_t kStagingSize = 4096;

// Where in staging to stage what goes at the end of out, escaped from chunk on: at the same
// offset within a cache line as in out, for a faster append, and half a page from the text
// being read. Stores that share a load's address bits within a page (4K aliasing) stall the
// load: staged at the text's offset within a page, the escape took half as long again.
constexpr std::size_t kPage = 4096;
char* stagingStart(char* staging, const std::string& out, const char* chunk) {
    const auto at = [&](const char* address) { return reinterpret_cast<std::uintptr_t>(address); };
    const std::size_t pageOffset = (at(chunk) + kPage / 2 - at(staging)) % kPage / kChunk * kChunk;
    return staging + pageOffset + (at(out.data() + out.size()) - at(staging)) % kChunk;
}

template <Entries kEntries>
void appendEscaped(std::string& out, std::string_view text, std::string_view space, Kernel kernel) {
    out.reserve(out.size() + text.size() + text.size() / 16);
    const char* const input = text.data();
    const std::size_t size = text.size();
    const char* chunk = input;
    if (space.size() <= kLongestReplacement && size >= 2 * kChunk) {
        Replacements replacements = kEntities;
        replacements.set(' ' & 15, space);
        const EscapeChunks escapeChunks = kernelFor<kEntries>(kernel);
        const char* const end = input + size - (2 * kChunk - 1);
        alignas(kChunk) char staging[kPage + kStagingSize + kChunkSlack];
        while (chunk < end) {
            char* const start = stagingStart(staging, out, chunk);
            const Escaped escaped = escapeChunks(start, start + kStagingSize, chunk, end, replacements);
            out.append(start, static_cast<std::size_t>(escaped.out - start));
            chunk = escaped.chunk;
        }
    }
    // The rest, and any text whose space replacement is too long for the chunks, byte by byte.
    const char* unchanged = chunk;
    for (; chunk < input + size; ++chunk) {
        const auto character = static_cast<unsigned char>(*chunk);
        if (needsEscape<kEntries>(character)) {
            out.append(unchanged, static_cast<std::size_t>(chunk - unchanged));
            if (character == ' ') {
                out.append(space);
            } else {
                out.append(kEntities.bytes[character & 15], kEntities.sizeOf(character & 15));
            }
            unchanged = chunk + 1;
        }
    }
    out.append(unchanged, static_cast<std::size_t>(input + size - unchanged));
}

}  // namespace

bool KVLEscaper::runs(Kernel kernel) {
#if defined(__x86_64__)
    return kernel == Kernel::Portable || runsAVX512();
#else
    return kernel == Kernel::Portable;
#endif
}

void KVLEscaper::append(std::string& out, std::string_view text, Entries entries, std::string_view space) {
    append(out, text, entries, space, runs(Kernel::AVX512) ? Kernel::AVX512 : Kernel::Portable);
}

void KVLEscaper::append(std::string& out, std::string_view text, Entries entries, std::string_view space,
                        Kernel kernel) {
    if (entries == Entries::XML) {
        appendEscaped<Entries::XML>(out, text, space, kernel);
    } else {
        appendEscaped<Entries::HTML>(out, text, space, kernel);
    }
}
