#include "Platform/UTF8.h"

#include <unicode/stringoptions.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

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

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    if (!isValidUTF8(a) || !isValidUTF8(b)) {
        return false;
    }
    const auto unicode = [](std::string_view text) {
        return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    };
    return unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT) == 0;
}

}  // namespace platform
