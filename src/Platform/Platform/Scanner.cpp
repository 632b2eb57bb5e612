#include "Platform/Scanner.h"

#include <limits>

namespace platform {

namespace {

std::size_t skipWhiteSpace(std::string_view text) {
    std::size_t index = 0;
    while (index < text.size() && (text[index] == ' ' || (text[index] >= '\t' && text[index] <= '\r'))) {
        ++index;
    }
    return index;
}

}  // namespace

std::int32_t Scanner::intValue(std::string_view text) {
    std::size_t index = skipWhiteSpace(text);
    bool negative = false;
    if (index < text.size() && (text[index] == '+' || text[index] == '-')) {
        negative = text[index] == '-';
        ++index;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; index < text.size() && text[index] >= '0' && text[index] <= '9'; ++index) {
        if (value <= kLimit) {
            value = value * 10 + (text[index] - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

bool Scanner::scanHexInt(std::string_view text, std::uint32_t* result) {
    std::size_t index = skipWhiteSpace(text);
    // The prefix counts only when a digit follows it; "0xg" reads as the number 0.
    const bool prefixed = index + 2 < text.size() && text[index] == '0' &&
                          (text[index + 1] == 'x' || text[index + 1] == 'X') && hexDigitValue(text[index + 2]) >= 0;
    if (prefixed) {
        index += 2;
    }
    std::uint64_t value = 0;
    bool sawDigit = false;
    for (; index < text.size() && hexDigitValue(text[index]) >= 0; ++index) {
        sawDigit = true;
        if (value <= 0xFFFFFFFFull) {
            value = value * 16 + static_cast<std::uint64_t>(hexDigitValue(text[index]));
        }
    }
    if (!sawDigit) {
        return false;
    }
    if (result != nullptr) {
        *result = value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
    }
    return true;
}

int Scanner::hexDigitValue(char character) {
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'a' && character <= 'f') {
        return character - 'a' + 10;
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    return -1;
}

}  // namespace platform
