#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Error.h"

namespace platform {

// A localized strings table (a ".strings" file): keys and their texts.
//
// Text tables use the old-style property-list grammar: `"key" = "value";` pairs of quoted
// ("..." or '...') or unquoted strings (letters, digits and _ $ / : . -), `"key";` meaning
// key = key, // and /* */ comments. Quoted strings know the escapes \a \b \f \n \r \t \v \"
// \' \\, octal \ooo (a code point up to 0777), \Uhhhh (a UTF-16 unit; a high and a low
// surrogate in a row make one character); any other escaped character stands for itself.
// A later duplicate key wins. The text is UTF-8 (a BOM is skipped) or UTF-16 with a BOM;
// without a BOM, a zero byte among the first two bytes means UTF-16 (big-endian when the
// first byte is the zero). An XML or binary property list that is a dictionary of strings
// is a table too.
//
// A table is read whole or not at all: a missing ';', an unterminated string or comment,
// anything after the last entry, invalid UTF-8 or UTF-16, or a property list that is not a
// dictionary of strings fails with a Cocoa error 3840 whose description says what and
// where ("Missing ';' on line 3"). Files that cannot be read fail as property-list files do;
// only regular files of at most kMaximumFileSize bytes are read.
class StringsTable {
public:
    using Table = std::map<std::string, std::string, std::less<>>;

    // A table holds the texts of one language of one program: some hundred kilobytes at most.
    static constexpr std::uint64_t kMaximumFileSize = std::uint64_t{4} << 20;

    static std::optional<Table> tableWithData(std::string_view bytes, Error* error = nullptr);
    static std::optional<Table> tableWithContentsOfFile(const std::string& path, Error* error = nullptr);
};

}  // namespace platform
