#include "Platform/ProcessInfo.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> ProcessInfo::environmentValue(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace platform
