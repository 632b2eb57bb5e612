#pragma once

#include <string>

namespace platform {

// HTTP status texts as the platform phrases them: lower case, "no error" for 200.
class HTTPStatus {
public:
    // The phrase of a known status; otherwise the phrase of its class ("informational",
    // "success", "redirected", "client error", "server error"). A status outside 100-599 is
    // a server error.
    static std::string localizedStringForStatusCode(int status);
};

}  // namespace platform
