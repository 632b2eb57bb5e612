#include "Platform/StringsTable.h"

#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstdint>

#include "Platform/Format.h"
#include "Platform/PropertyListSerialization.h"
#include "Platform/Scanner.h"
#include "Platform/UTF8.h"

namespace platform {

namespace {

constexpr std::int64_t kReadCorruptError = 3840;

void fail(Error* error, std::string description) {
    if (error != nullptr) {
        *error = Error{std::string(kCocoaErrorDomain), kReadCorruptError, std::move(description), nullptr};
    }
}

// UTF-16 text (after its BOM) as UTF-8, converted by ICU; null for an odd length or an
// unpaired surrogate.
std::optional<std::string> utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto second = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    }
    // Every UTF-16 unit takes at most three UTF-8 bytes.
    std::string out(units.size() * 3, '\0');
    std::int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<std::int32_t>(out.size()), &length, units.data(),
                static_cast<std::int32_t>(units.size()), &status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// The table's text as UTF-8, told from its byte-order mark or its first two bytes.
std::optional<std::string> decodeText(std::string_view bytes, Error* error) {
    std::optional<std::string> text;
    if (bytes.starts_with("\xFF\xFE")) {
        text = utf16ToUtf8(bytes.substr(2), false);
    } else if (bytes.starts_with("\xFE\xFF")) {
        text = utf16ToUtf8(bytes.substr(2), true);
    } else if (!bytes.empty() && (bytes[0] == '\0' || (bytes.size() > 1 && bytes[1] == '\0'))) {
        text = utf16ToUtf8(bytes, bytes[0] == '\0');
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            bytes.remove_prefix(3);
        }
        if (!isValidUTF8(bytes)) {
            fail(error, "The text is not valid UTF-8.");
            return std::nullopt;
        }
        return std::string(bytes);
    }
    if (!text) {
        fail(error, "The text is not valid UTF-16.");
    }
    return text;
}

// A property list that must be a dictionary of strings.
std::optional<StringsTable::Table> tableOfPropertyList(std::string_view bytes, Error* error) {
    const std::optional<PlistValue> value = PropertyListSerialization::propertyListWithData(bytes, error);
    if (!value) {
        return std::nullopt;
    }
    StringsTable::Table table;
    if (const PlistDictionary* dictionary = value->dictionary()) {
        for (const auto& [key, item] : *dictionary) {
            if (item.string() == nullptr) {
                break;
            }
            table.emplace(key, *item.string());
        }
        if (table.size() == dictionary->size()) {
            return table;
        }
    }
    fail(error, "The property list is not a dictionary of strings.");
    return std::nullopt;
}

bool isUnquotedCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '/' || c == ':' || c == '.' || c == '-';
}

// The old-style grammar over UTF-8 text. Each step answers false after filling the error.
class Parser {
public:
    Parser(std::string_view text, Error* error) : text_(text), error_(error) {}

    std::optional<StringsTable::Table> parse() {
        StringsTable::Table table;
        if (!skipSpaceAndComments()) {
            return std::nullopt;
        }
        while (!atEnd()) {
            std::string key;
            if (!parseString(key) || !skipSpaceAndComments()) {
                return std::nullopt;
            }
            if (peek(';')) {
                ++position_;
                std::string value = key;
                table.insert_or_assign(std::move(key), std::move(value));
            } else if (peek('=')) {
                ++position_;
                std::string value;
                if (!skipSpaceAndComments() || !parseString(value)) {
                    return std::nullopt;
                }
                const std::size_t valueEnd = position_;
                if (!skipSpaceAndComments()) {
                    return std::nullopt;
                }
                if (!peek(';')) {
                    return failAt(valueEnd, "Missing ';' on line %ld");
                }
                ++position_;
                table.insert_or_assign(std::move(key), std::move(value));
            } else if (atEnd()) {
                return failAt(position_, "Missing ';' on line %ld");
            } else {
                return failUnexpected();
            }
            if (!skipSpaceAndComments()) {
                return std::nullopt;
            }
        }
        return table;
    }

private:
    bool atEnd() const { return position_ >= text_.size(); }
    bool peek(char c) const { return !atEnd() && text_[position_] == c; }
    bool startsComment() const {
        return position_ + 1 < text_.size() && text_[position_] == '/' &&
               (text_[position_ + 1] == '/' || text_[position_ + 1] == '*');
    }

    long lineAt(std::size_t offset) const {
        return 1 +
               static_cast<long>(std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    }

    std::nullopt_t failAt(std::size_t offset, std::string_view format) {
        fail(error_, formatString(format, lineAt(offset)));
        return std::nullopt;
    }

    std::nullopt_t failUnexpected() {
        if (atEnd()) {
            return failAt(position_, "Unexpected end of file on line %ld");
        }
        // The whole UTF-8 sequence of the offending character.
        std::size_t end = position_ + 1;
        while (end < text_.size() && (static_cast<std::uint8_t>(text_[end]) & 0xC0) == 0x80) {
            ++end;
        }
        fail(error_, formatString("Unexpected character %@ on line %ld", text_.substr(position_, end - position_),
                                  lineAt(position_)));
        return std::nullopt;
    }

    bool skipSpaceAndComments() {
        while (!atEnd()) {
            const char c = text_[position_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
                ++position_;
            } else if (startsComment() && text_[position_ + 1] == '/') {
                const std::size_t newline = text_.find('\n', position_);
                position_ = newline == std::string_view::npos ? text_.size() : newline + 1;
            } else if (startsComment()) {
                const std::size_t close = text_.find("*/", position_ + 2);
                if (close == std::string_view::npos) {
                    failAt(position_, "Unterminated comment starting on line %ld");
                    return false;
                }
                position_ = close + 2;
            } else {
                break;
            }
        }
        return true;
    }

    bool parseString(std::string& out) {
        if (peek('"') || peek('\'')) {
            return parseQuoted(out);
        }
        const std::size_t start = position_;
        while (!atEnd() && isUnquotedCharacter(text_[position_]) && !startsComment()) {
            ++position_;
        }
        if (position_ == start) {
            failUnexpected();
            return false;
        }
        out.assign(text_.substr(start, position_ - start));
        return true;
    }

    bool parseQuoted(std::string& out) {
        const std::size_t start = position_;
        const char quote = text_[position_++];
        while (!atEnd()) {
            const char c = text_[position_++];
            if (c == quote) {
                return true;
            }
            if (c != '\\') {
                out.push_back(c);
            } else if (atEnd()) {
                break;
            } else if (!parseEscape(out)) {
                return false;
            }
        }
        failAt(start, "Unterminated quoted string starting on line %ld");
        return false;
    }

    // After a backslash.
    bool parseEscape(std::string& out) {
        const std::size_t start = position_ - 1;
        const char c = text_[position_++];
        switch (c) {
            case 'a': out.push_back('\a'); return true;
            case 'b': out.push_back('\b'); return true;
            case 'f': out.push_back('\f'); return true;
            case 'n': out.push_back('\n'); return true;
            case 'r': out.push_back('\r'); return true;
            case 't': out.push_back('\t'); return true;
            case 'v': out.push_back('\v'); return true;
            case 'U':
            case 'u': {
                const std::optional<char32_t> unit = readHexUnit();
                if (!unit) {
                    failAt(start, "Invalid \\U escape on line %ld");
                    return false;
                }
                if (U16_IS_LEAD(*unit)) {
                    return parseLowSurrogate(*unit, start, out);
                }
                if (U16_IS_TRAIL(*unit)) {
                    failAt(start, "Unpaired surrogate in \\U escape on line %ld");
                    return false;
                }
                appendUTF8(out, *unit);
                return true;
            }
            default: break;
        }
        if (c >= '0' && c <= '7') {
            auto value = static_cast<char32_t>(c - '0');
            for (int digits = 1; digits < 3 && !atEnd() && text_[position_] >= '0' && text_[position_] <= '7';
                 ++digits) {
                value = value * 8 + static_cast<char32_t>(text_[position_++] - '0');
            }
            appendUTF8(out, value);
            return true;
        }
        out.push_back(c);  // \" \' \\ and any other character stand for themselves
        return true;
    }

    // One to four hex digits.
    std::optional<char32_t> readHexUnit() {
        char32_t unit = 0;
        int digits = 0;
        while (digits < 4 && !atEnd() && Scanner::hexDigitValue(text_[position_]) >= 0) {
            unit = unit * 16 + static_cast<char32_t>(Scanner::hexDigitValue(text_[position_++]));
            ++digits;
        }
        return digits > 0 ? std::optional<char32_t>(unit) : std::nullopt;
    }

    bool parseLowSurrogate(char32_t high, std::size_t start, std::string& out) {
        if (position_ + 1 < text_.size() && text_[position_] == '\\' &&
            (text_[position_ + 1] == 'U' || text_[position_ + 1] == 'u')) {
            const std::size_t saved = position_;
            position_ += 2;
            const std::optional<char32_t> low = readHexUnit();
            if (low && U16_IS_TRAIL(*low)) {
                appendUTF8(out, U16_GET_SUPPLEMENTARY(high, *low));
                return true;
            }
            position_ = saved;
        }
        failAt(start, "Unpaired surrogate in \\U escape on line %ld");
        return false;
    }

    std::string_view text_;
    Error* error_;
    std::size_t position_ = 0;
};

}  // namespace

std::optional<StringsTable::Table> StringsTable::tableWithData(std::string_view bytes, Error* error) {
    if (bytes.starts_with("bplist00")) {
        return tableOfPropertyList(bytes, error);
    }
    const std::optional<std::string> text = decodeText(bytes, error);
    if (!text) {
        return std::nullopt;
    }
    const std::size_t first = text->find_first_not_of(" \t\r\n");
    if (first != std::string::npos && (*text)[first] == '<') {
        return tableOfPropertyList(*text, error);
    }
    return Parser(*text, error).parse();
}

std::optional<StringsTable::Table> StringsTable::tableWithContentsOfFile(const std::string& path, Error* error) {
    const std::optional<std::string> bytes = PropertyListSerialization::readFile(path, kMaximumFileSize, error);
    if (!bytes) {
        return std::nullopt;
    }
    return tableWithData(*bytes, error);
}

}  // namespace platform
