#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Number reading as the platform's string and scanner classes do it.
class Scanner {
public:
    // Skips leading white space, reads an optional sign and decimal digits up to the first
    // non-digit; 0 when there are none; saturates at INT32_MAX and INT32_MIN.
    static std::int32_t intValue(std::string_view text);
    // Skips leading white space, an optional "0x"/"0X", then reads hexadecimal digits; false
    // when there are none. A number beyond 32 bits gives 0xFFFFFFFF and still true.
    static bool scanHexInt(std::string_view text, std::uint32_t* result);
    // The value of one hexadecimal digit of either case; -1 for any other character.
    static int hexDigitValue(char character);
};

}  // namespace platform
