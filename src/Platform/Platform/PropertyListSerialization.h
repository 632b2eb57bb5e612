#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Error.h"
#include "Platform/PlistValue.h"

namespace platform {

// Property-list files and bytes (the NSPropertyListSerialization stand-in and the file
// operations of NSDictionary / NSArray). Reads XML and binary lists; writes XML.
//
// Failures are reported through the optional Error (Cocoa domain): 3840 for bytes that are
// not a whole, well-formed property list (truncated, malformed, trailing junk) or not safe
// to parse (nested deeper than PropertyListShape::kMaximumDepth levels, a binary list whose
// shared objects expand too far); 260 / 257 / 263 / 256 when a file cannot be read
// (missing, no permission, larger than the cap, other: a folder, FIFO, device or socket is
// refused before a byte is read, see RegularFile); 3852 for a value that cannot be written (a string holding a NUL, a
// date beyond the format's range, nesting deeper than the read limit); 4 / 513 / 640 / 642
// / 512 when a file cannot be written (missing folder, no permission, no space, read-only
// volume, other). File errors carry the POSIX error underneath.
//
// Limits of the format library: integers are signed 64-bit (an unsigned value above
// INT64_MAX reads as its two's-complement image); dates keep microseconds, and XML dates
// whole seconds (written rounded down).
class PropertyListSerialization {
public:
    enum class Format { XML, Binary };

    // Reads a property list held in memory; the format is told by the binary list's magic.
    static std::optional<PlistValue> propertyListWithData(std::string_view bytes, Error* error = nullptr,
                                                          Format* format = nullptr);
    // Files are read only when they are regular files of at most maximumSize bytes; callers
    // that know the kind of file pass the cap of that kind.
    static constexpr std::uint64_t kMaximumFileSize = std::uint64_t{16} << 20;
    static std::optional<PlistValue> propertyListWithContentsOfFile(const std::string& path, Error* error = nullptr,
                                                                    std::uint64_t maximumSize = kMaximumFileSize);

    // Null when the file is missing, unreadable, too large, not a whole property list, or of
    // another type.
    static std::optional<PlistDictionary> dictionaryWithContentsOfFile(const std::string& path,
                                                                       std::uint64_t maximumSize = kMaximumFileSize);
    static std::optional<PlistArray> arrayWithContentsOfFile(const std::string& path,
                                                             std::uint64_t maximumSize = kMaximumFileSize);

    // The XML text of a value; null when the value cannot be represented.
    static std::optional<std::string> xmlDataWithPropertyList(const PlistValue& value, Error* error = nullptr);

    // Writes the value as XML, atomically: a temporary file in the same folder, written,
    // synced and renamed over the target. On failure the previous file is left as it was
    // and no temporary file remains.
    static bool writeToFile(const PlistValue& value, const std::string& path, Error* error = nullptr);

private:
    // Strings tables read their files the same way, with the same errors.
    friend class StringsTable;

    // A bounded read (RegularFile) in which a path through a file, like a missing one, names
    // no such file (260).
    static std::optional<std::string> readFile(const std::string& path, std::uint64_t maximumSize, Error* error);

    // The operating system's side (PropertyListSerialization_posix.cpp).
    static bool writeFileAtomically(const std::string& path, std::string_view bytes, Error* error);
};

}  // namespace platform
