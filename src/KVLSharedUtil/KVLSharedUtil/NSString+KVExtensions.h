#pragma once

#include <optional>
#include <string>
#include <string_view>

struct NSStringKVExtensions {
    // True for a null string, or one that is empty once the white space (the Unicode space
    // separators and the tab, not line breaks) is trimmed from both ends.
    static bool isNilOrEmpty(const std::optional<std::string>& text);
    // False when either is null; an empty needle is in any haystack. Case-sensitive.
    static bool containString(const std::optional<std::string>& needle, const std::optional<std::string>& haystack);
    // The component right after the first one equal to searchString ignoring case (Unicode
    // full case folding), the text split at every separator character (adjacent separators
    // give empty components); null when none matches or the match is the last component.
    static std::optional<std::string> fetchStringWithSeparators(std::string_view receiver, std::string_view separators,
                                                                std::string_view searchString);
    // The text as a zero-terminated wide-character string, released with free(); null when it
    // cannot be converted. Sets the process's LC_CTYPE locale to UTF-8 and leaves it so.
    static wchar_t* getWChar(std::string_view receiver);
    // "" for null; otherwise the text decoded from wcslen(text) 32-bit units of UTF-32; null
    // when they are not valid UTF-32.
    static std::optional<std::string> stringFromWChar(const wchar_t* text);
};
