#include "Platform/UTF8.h"

#include <unicode/utf8.h>
#include <unicode/ustring.h>

#include <climits>

namespace platform {

bool isValidUTF8(std::string_view bytes) {
    if (bytes.size() > INT32_MAX) {
        return false;
    }
    // Preflighting counts the UTF-16 units without writing them and reports an ill-formed
    // sequence as U_INVALID_CHAR_FOUND.
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status);
}

void appendUTF8(std::string& out, char32_t codePoint) {
    char bytes[U8_MAX_LENGTH];
    int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, codePoint);
    out.append(bytes, static_cast<std::size_t>(length));
}

}  // namespace platform
