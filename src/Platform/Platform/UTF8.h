#pragma once

#include <string>
#include <string_view>

namespace platform {

// Whether bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no cut-off sequence (the platform string's test when it is made from bytes).
bool isValidUTF8(std::string_view bytes);

// Appends the UTF-8 form of a code point (up to 0x1FFFFF; surrogates are not refused).
void appendUTF8(std::string& out, char32_t codePoint);

}  // namespace platform
