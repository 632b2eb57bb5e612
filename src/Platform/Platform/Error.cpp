#include "Platform/Error.h"

#include "Platform/Format.h"

namespace platform {

std::string Error::description() const {
    std::string text =
        formatString("Error Domain=%@ Code=%lld \"%@\"", domain, static_cast<long long>(code), localizedDescription);
    if (underlyingError) {
        text += formatString(" UserInfo={NSUnderlyingError=%@}", underlyingError->description());
    }
    return text;
}

}  // namespace platform
