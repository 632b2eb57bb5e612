#include "Platform/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <type_traits>

namespace platform {

namespace {

constexpr std::string_view kNullText = "(null)";

// The flags of a conversion, as a set: printf reads a repeated flag as one.
class Flags {
public:
    void add(char flag) { bits_ |= bitOf(flag); }
    bool has(char flag) const { return (bits_ & bitOf(flag)) != 0; }
    bool empty() const { return bits_ == 0; }
    void appendTo(std::string& pattern) const {
        for (const char flag : kOrder) {
            if (has(flag)) {
                pattern += flag;
            }
        }
    }

private:
    static constexpr std::string_view kOrder = "-+ #0";
    static unsigned bitOf(char flag) { return 1U << kOrder.find(flag); }
    unsigned bits_ = 0;
};

// One parsed conversion: "%[pos$][flags][width][.precision][length]conversion".
struct Conversion {
    Flags flags;
    int width = -1;
    bool widthFromArgument = false;
    int precision = -1;
    bool precisionFromArgument = false;
    std::string_view length;  // the length modifier, in the format
    char conversion = 0;
    std::size_t position = 0;  // 1-based; 0 when sequential
};

// The largest width or precision that can be written: parseNumber stops taking digits there.
constexpr std::int64_t kLargestNumber = 999999;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A set of characters looked up by table: the parser tests membership for every character
// of every conversion.
class CharacterSet {
public:
    constexpr explicit CharacterSet(std::string_view characters) {
        for (const char character : characters) {
            contains_[static_cast<unsigned char>(character)] = true;
        }
    }
    constexpr bool contains(char character) const { return contains_[static_cast<unsigned char>(character)]; }

private:
    bool contains_[256] = {};
};

constexpr CharacterSet kFlags("-+ #0'");
constexpr CharacterSet kLengthModifiers("hlqLzjt");
constexpr CharacterSet kConversions("diouxXcsSCfFeEgGaAp@");

int parseNumber(std::string_view format, std::size_t& index) {
    int value = 0;
    while (index < format.size() && isDigit(format[index])) {
        if (value <= kLargestNumber / 10) {
            value = value * 10 + (format[index] - '0');
        }
        ++index;
    }
    return value;
}

// Parses a conversion starting just after '%'. Returns false when the text is no conversion.
bool parseConversion(std::string_view format, std::size_t& index, Conversion& out) {
    std::size_t cursor = index;
    // A leading "n$" selects the argument by position.
    if (cursor < format.size() && isDigit(format[cursor]) && format[cursor] != '0') {
        std::size_t probe = cursor;
        const int number = parseNumber(format, probe);
        if (probe < format.size() && format[probe] == '$') {
            out.position = static_cast<std::size_t>(number);
            cursor = probe + 1;
        }
    }
    while (cursor < format.size() && kFlags.contains(format[cursor])) {
        if (format[cursor] != '\'') {
            out.flags.add(format[cursor]);
        }
        ++cursor;
    }
    if (cursor < format.size() && format[cursor] == '*') {
        out.widthFromArgument = true;
        ++cursor;
    } else if (cursor < format.size() && isDigit(format[cursor])) {
        out.width = parseNumber(format, cursor);
    }
    if (cursor < format.size() && format[cursor] == '.') {
        ++cursor;
        if (cursor < format.size() && format[cursor] == '*') {
            out.precisionFromArgument = true;
            ++cursor;
        } else {
            out.precision = parseNumber(format, cursor);
        }
    }
    const std::size_t lengthStart = cursor;
    while (cursor < format.size() && kLengthModifiers.contains(format[cursor])) {
        ++cursor;
    }
    out.length = format.substr(lengthStart, cursor - lengthStart);
    if (cursor >= format.size()) {
        return false;
    }
    const char conversion = format[cursor];
    if (!kConversions.contains(conversion)) {
        return false;
    }
    out.conversion = conversion;
    index = cursor + 1;
    return true;
}

class Formatter {
public:
    explicit Formatter(FormatArgs args) : args_(args) {}

    void run(std::string& out, std::string_view format) {
        out.reserve(out.size() + format.size() + 16 * args_.size());
        std::size_t index = 0;
        while (index < format.size()) {
            const std::size_t percent = format.find('%', index);
            if (percent == std::string_view::npos) {
                out.append(format.substr(index));
                break;
            }
            out.append(format.substr(index, percent - index));
            index = percent + 1;
            if (index < format.size() && format[index] == '%') {
                out.push_back('%');
                ++index;
                continue;
            }
            Conversion conversion;
            // A conversion character right after the '%' (the common case) is all there is.
            if (index < format.size() && kConversions.contains(format[index])) {
                conversion.conversion = format[index++];
            } else if (!parseConversion(format, index, conversion)) {
                out.push_back('%');
                continue;
            }
            append(out, conversion);
        }
    }

private:
    const FormatArg& next() {
        static const FormatArg kMissing{};
        if (nextIndex_ >= args_.size()) {
            ++nextIndex_;
            return kMissing;
        }
        return args_[nextIndex_++];
    }

    const FormatArg& at(std::size_t position) {
        static const FormatArg kMissing{};
        nextIndex_ = position;
        return position - 1 < args_.size() ? args_[position - 1] : kMissing;
    }

    // A "*" width or precision: read as an int, as C reads it, and kept within what a
    // written one can be, so that an argument cannot ask for gigabytes of padding.
    std::int64_t numberArgument() {
        const std::int64_t number = static_cast<std::int32_t>(next().asSigned());
        return std::clamp<std::int64_t>(number, -kLargestNumber, kLargestNumber);
    }

    void append(std::string& out, Conversion& conversion) {
        if (conversion.widthFromArgument) {
            const std::int64_t width = numberArgument();
            if (width < 0) {
                conversion.flags.add('-');
            }
            conversion.width = static_cast<int>(width < 0 ? -width : width);
        }
        if (conversion.precisionFromArgument) {
            const std::int64_t precision = numberArgument();
            conversion.precision = precision < 0 ? -1 : static_cast<int>(precision);
        }
        const FormatArg& arg = conversion.position > 0 ? at(conversion.position) : next();
        switch (conversion.conversion) {
            case 'd':
            case 'i': appendSigned(out, conversion, arg.asSigned()); break;
            case 'o':
            case 'u':
            case 'x':
            case 'X': appendUnsigned(out, conversion, arg.asUnsigned()); break;
            case 'c':
            case 'C':
                appendPrintf(out, conversion, "c", static_cast<int>(static_cast<unsigned char>(arg.asSigned())));
                break;
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A': appendReal(out, conversion, arg.asReal()); break;
            case 'p':
                appendPrintf(
                    out, conversion, "p",
                    arg.kind() == FormatArg::Kind::Pointer ? reinterpret_cast<void*>(arg.asUnsigned()) : nullptr);
                break;
            case 's':
            case 'S': appendText(out, conversion, arg.asCString()); break;
            default:  // '@'
                // A string or a null prints as "%s" does, without the copy that describe() makes.
                if (arg.kind() == FormatArg::Kind::String || arg.isNull()) {
                    appendText(out, conversion, arg.asCString());
                } else {
                    appendText(out, conversion, arg.describe());
                }
                break;
        }
    }

    // The C printf pattern of one conversion: "%", flags, width, precision, length, type.
    static std::string printfPattern(const Conversion& conversion, std::string_view length, std::string_view type) {
        std::string result = "%";
        conversion.flags.appendTo(result);
        if (conversion.width >= 0) {
            result += std::to_string(conversion.width);
        }
        if (conversion.precision >= 0) {
            result += '.';
            result += std::to_string(conversion.precision);
        }
        result.append(length);
        result.append(type);
        return result;
    }

    template <typename T>
    static void appendPrintf(std::string& out, const Conversion& conversion, std::string_view type, T value,
                             std::string_view length = {}) {
        // A plain decimal is the common case, and needs neither a pattern nor printf.
        if constexpr (std::is_integral_v<T>) {
            const bool decimal = std::is_signed_v<T> ? (type == "d" || type == "i") : type == "u";
            if (decimal && conversion.flags.empty() && conversion.width < 0 && conversion.precision < 0) {
                char digits[24];
                const char* const end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
                out.append(digits, static_cast<std::size_t>(end - digits));
                return;
            }
        }
        const std::string pattern = printfPattern(conversion, length, type);
        char buffer[128];
        const int needed = std::snprintf(buffer, sizeof buffer, pattern.c_str(), value);
        if (needed < 0) {
            return;
        }
        if (static_cast<std::size_t>(needed) < sizeof buffer) {
            out.append(buffer, static_cast<std::size_t>(needed));
            return;
        }
        std::string large(static_cast<std::size_t>(needed) + 1, '\0');
        std::snprintf(large.data(), large.size(), pattern.c_str(), value);
        large.resize(static_cast<std::size_t>(needed));
        out += large;
    }

    // The length modifier decides the width the value is read with, as in C.
    static void appendSigned(std::string& out, const Conversion& conversion, std::int64_t value) {
        const std::string_view type(&conversion.conversion, 1);
        if (conversion.length == "hh") {
            appendPrintf(out, conversion, type, static_cast<int>(static_cast<signed char>(value)));
        } else if (conversion.length == "h") {
            appendPrintf(out, conversion, type, static_cast<int>(static_cast<short>(value)));
        } else if (conversion.length.empty()) {
            appendPrintf(out, conversion, type, static_cast<int>(static_cast<std::int32_t>(value)));
        } else {
            appendPrintf(out, conversion, type, static_cast<long long>(value), "ll");
        }
    }

    static void appendUnsigned(std::string& out, const Conversion& conversion, std::uint64_t value) {
        const std::string_view type(&conversion.conversion, 1);
        if (conversion.length == "hh") {
            appendPrintf(out, conversion, type, static_cast<unsigned>(static_cast<unsigned char>(value)));
        } else if (conversion.length == "h") {
            appendPrintf(out, conversion, type, static_cast<unsigned>(static_cast<unsigned short>(value)));
        } else if (conversion.length.empty()) {
            appendPrintf(out, conversion, type, static_cast<unsigned>(static_cast<std::uint32_t>(value)));
        } else {
            appendPrintf(out, conversion, type, static_cast<unsigned long long>(value), "ll");
        }
    }

    static void appendReal(std::string& out, const Conversion& conversion, double value) {
        const std::string_view type(&conversion.conversion, 1);
        appendPrintf(out, conversion, type, value);
    }

    static void appendText(std::string& out, const Conversion& conversion, std::string_view text) {
        if (conversion.width < 0 && conversion.precision < 0) {
            out.append(text);
            return;
        }
        std::string_view shown = text;
        if (conversion.precision >= 0 && static_cast<std::size_t>(conversion.precision) < shown.size()) {
            shown = shown.substr(0, static_cast<std::size_t>(conversion.precision));
        }
        const std::size_t width = conversion.width < 0 ? 0 : static_cast<std::size_t>(conversion.width);
        const std::size_t padding = width > shown.size() ? width - shown.size() : 0;
        const bool leftAligned = conversion.flags.has('-');
        if (!leftAligned) {
            out.append(padding, ' ');
        }
        out.append(shown);
        if (leftAligned) {
            out.append(padding, ' ');
        }
    }

    FormatArgs args_;
    std::size_t nextIndex_ = 0;
};

}  // namespace

std::int64_t FormatArg::asSigned() const {
    switch (kind_) {
        case Kind::Signed: return signed_;
        case Kind::Unsigned: return static_cast<std::int64_t>(unsigned_);
        case Kind::Real:
            // A real beyond the 64-bit integers saturates and NaN reads as 0: converting
            // either would be undefined.
            if (std::isnan(real_)) {
                return 0;
            }
            if (real_ >= 0x1p63) {
                return std::numeric_limits<std::int64_t>::max();
            }
            if (real_ < -0x1p63) {
                return std::numeric_limits<std::int64_t>::min();
            }
            return static_cast<std::int64_t>(real_);
        case Kind::Pointer: return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(pointer_));
        default: return 0;
    }
}

std::uint64_t FormatArg::asUnsigned() const { return static_cast<std::uint64_t>(asSigned()); }

double FormatArg::asReal() const {
    switch (kind_) {
        case Kind::Signed: return static_cast<double>(signed_);
        case Kind::Unsigned: return static_cast<double>(unsigned_);
        case Kind::Real: return real_;
        default: return 0.0;
    }
}

std::string FormatArg::describe() const {
    switch (kind_) {
        case Kind::Null: return std::string(kNullText);
        case Kind::Signed: return std::to_string(signed_);
        case Kind::Unsigned: return std::to_string(unsigned_);
        case Kind::Real: {
            char buffer[64];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, real_);
            return std::string(buffer, result.ptr);
        }
        case Kind::String: return std::string(text_);
        case Kind::Object: return describe_(pointer_);
        case Kind::Pointer: {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%p", pointer_);
            return buffer;
        }
    }
    return std::string(kNullText);
}

std::string_view FormatArg::asCString() const { return kind_ == Kind::String ? text_ : kNullText; }

std::string formatStringArgs(std::string_view format, FormatArgs args) {
    std::string out;
    Formatter(args).run(out, format);
    return out;
}

void appendFormatArgs(std::string& out, std::string_view format, FormatArgs args) { Formatter(args).run(out, format); }

std::string shellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char character : text) {
        quoted += character == '\'' ? std::string_view("'\\''") : std::string_view(&character, 1);
    }
    return quoted + "'";
}

}  // namespace platform
