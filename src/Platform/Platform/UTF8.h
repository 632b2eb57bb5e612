#pragma once

#include <string>
#include <string_view>

namespace platform {

// Whether bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no cut-off sequence (the platform string's test when it is made from bytes).
bool isValidUTF8(std::string_view bytes);

// Appends the UTF-8 form of a code point (up to 0x1FFFFF; surrogates are not refused).
void appendUTF8(std::string& out, char32_t codePoint);

// Whether two UTF-8 texts are equal ignoring case, by Unicode full case folding ("Straße"
// and "STRASSE", "ﬁle" and "FILE"); a text that is not well-formed equals only itself.
bool equalIgnoringCase(std::string_view a, std::string_view b);

}  // namespace platform
