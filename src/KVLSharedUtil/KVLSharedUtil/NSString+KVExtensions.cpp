#include "KVLSharedUtil/NSString+KVExtensions.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "Platform/UTF8.h"

namespace {

// Decodes one UTF-8 code point at index; false for malformed text.
bool decodeUTF8(std::string_view text, std::size_t& index, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[index]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || index + length > text.size()) {
        return false;
    }
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[index + k]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    index += length;
    return true;
}

// The tab and the Unicode space separators (Zs).
bool isWhiteSpace(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::vector<char32_t> codePoints(std::string_view text) {
    std::vector<char32_t> points;
    std::size_t index = 0;
    while (index < text.size()) {
        char32_t c = 0;
        if (!decodeUTF8(text, index, c)) {
            c = static_cast<unsigned char>(text[index++]);  // keep malformed bytes as themselves
        }
        points.push_back(c);
    }
    return points;
}

}  // namespace

bool NSStringKVExtensions::isNilOrEmpty(const std::optional<std::string>& text) {
    if (!text) {
        return true;
    }
    for (const char32_t c : codePoints(*text)) {
        if (!isWhiteSpace(c)) {
            return false;
        }
    }
    return true;
}

bool NSStringKVExtensions::containString(const std::optional<std::string>& needle,
                                         const std::optional<std::string>& haystack) {
    return needle && haystack && haystack->find(*needle) != std::string::npos;
}

std::optional<std::string> NSStringKVExtensions::fetchStringWithSeparators(std::string_view receiver,
                                                                           std::string_view separators,
                                                                           std::string_view searchString) {
    const std::vector<char32_t> separatorPoints = codePoints(separators);
    std::vector<std::string> components(1);
    for (const char32_t c : codePoints(receiver)) {
        if (std::find(separatorPoints.begin(), separatorPoints.end(), c) != separatorPoints.end()) {
            components.emplace_back();
        } else {
            platform::appendUTF8(components.back(), c);
        }
    }
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        if (platform::equalIgnoringCase(components[i], searchString)) {
            return components[i + 1];
        }
    }
    return std::nullopt;
}

wchar_t* NSStringKVExtensions::getWChar(std::string_view receiver) {
    const std::string bytes(receiver);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const std::size_t count = std::mbstowcs(nullptr, bytes.c_str(), 0);
    if (count == static_cast<std::size_t>(-1)) {
        return nullptr;
    }
    auto* buffer = static_cast<wchar_t*>(std::malloc((count + 1) * sizeof(wchar_t)));
    if (buffer == nullptr) {
        return nullptr;
    }
    std::memset(buffer, 0, count * sizeof(wchar_t));
    if (std::mbstowcs(buffer, bytes.c_str(), count + 1) == static_cast<std::size_t>(-1)) {
        std::free(buffer);
        return nullptr;
    }
    return buffer;
}

std::optional<std::string> NSStringKVExtensions::stringFromWChar(const wchar_t* text) {
    if (text == nullptr) {
        return std::string();
    }
    std::string out;
    for (std::size_t i = 0, length = std::wcslen(text); i < length; ++i) {
        const auto codePoint = static_cast<char32_t>(text[i]);
        if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return std::nullopt;
        }
        platform::appendUTF8(out, codePoint);
    }
    return out;
}
