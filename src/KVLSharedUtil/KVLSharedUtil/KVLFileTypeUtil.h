#pragma once

#include <optional>
#include <string>

// Document types: the uniform type identifier of an extension, and the application the user
// prefers for a type.
class KVLFileTypeUtil {
public:
    // The bundle identifier of the type's default handler in any role, taken from the
    // handler's first recorded bundle when that can be opened, else the handler's recorded
    // identifier; null when the type has no handler.
    static std::optional<std::string> userPreferredAppBundleIdForUtiType(const std::optional<std::string>& utiType);
    // The preferred identifier for a file-name extension given without its dot; an extension
    // that no type declares gets a dynamic identifier. Null when the system gives none.
    static std::optional<std::string> UTITypeForFileExtension(const std::optional<std::string>& extension);
};
