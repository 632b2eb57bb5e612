#pragma once

#include <string_view>

namespace platform {

// Whether bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no cut-off sequence (the platform string's test when it is made from bytes).
bool isValidUTF8(std::string_view bytes);

}  // namespace platform
