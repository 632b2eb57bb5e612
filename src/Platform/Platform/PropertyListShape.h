#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// Checks of a property list's bytes made before the format library parses them, each in
// time linear in the size of the bytes.
//
// The format library cannot be given hostile lists directly: it frees and writes its trees
// recursively (a list nested some tens of thousands of levels deep overflows the stack),
// compares each binary object with all of its ancestors (time quadratic in the depth),
// expands a binary object once for every reference to it (time and memory exponential in
// the depth), stops the process on a binary string holding a NUL, and reads a truncated XML
// list as whole.
//
// Depth counts values: a lone string is one level deep, an array holding it two, and a
// dictionary's keys are as deep as its values.
class PropertyListShape {
public:
    // The deepest nesting read or written. Settings, job descriptions and bundle information
    // nest a handful of levels; 512 leaves room for any real list while keeping every
    // recursive walk of a value (conversion, comparison, description, release) shallow.
    static constexpr std::size_t kMaximumDepth = 512;
    // The most memory a binary list may expand to through shared objects, estimated as 64
    // bytes a value plus its strings' and data's bytes: 64 MiB, or 65 bytes for each byte of
    // the list when that is more, so that a list without shared objects is never refused.
    static constexpr std::uint64_t kMaximumExpandedSize = std::uint64_t{64} << 20;

    enum class Verdict {
        Readable,
        Malformed,    // truncated, cyclic, out of bounds, or a binary string holding a NUL
        TooDeep,      // deeper than kMaximumDepth
        TooExpanded,  // shared binary objects expanding beyond kMaximumExpandedSize
    };

    static Verdict ofXML(std::string_view text);
    static Verdict ofBinary(std::string_view bytes);
};

}  // namespace platform
