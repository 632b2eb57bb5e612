#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::string_view kCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr std::string_view kPOSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr std::string_view kOSStatusErrorDomain = "NSOSStatusErrorDomain";
inline constexpr std::string_view kMachErrorDomain = "NSMachErrorDomain";

// A failure reported by the platform layer (the NSError stand-in): a domain, a code, a
// localized description and, where one caused it, the error underneath.
struct Error {
    std::string domain;
    std::int64_t code = 0;
    std::string localizedDescription;
    std::shared_ptr<const Error> underlyingError;

    // "Error Domain=<domain> Code=<code> \"<description>\"", as the platform prints an error.
    std::string description() const;
};

}  // namespace platform
