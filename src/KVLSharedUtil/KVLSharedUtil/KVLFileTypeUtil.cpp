#include "KVLSharedUtil/KVLFileTypeUtil.h"

#include "Platform/ApplicationDatabase.h"
#include "Platform/Bundle.h"

std::optional<std::string> KVLFileTypeUtil::userPreferredAppBundleIdForUtiType(
    const std::optional<std::string>& utiType) {
    if (!utiType) {
        return std::nullopt;
    }
    std::optional<std::string> handler = platform::ApplicationDatabase::defaultRoleHandlerForContentType(
        *utiType, platform::ApplicationDatabase::RoleAll);
    if (!handler) {
        return std::nullopt;
    }
    const auto locations = platform::ApplicationDatabase::applicationURLsForBundleIdentifier(*handler);
    if (!locations.empty()) {
        if (const auto bundle = platform::Bundle::bundleWithPath(locations.front().path())) {
            return bundle->bundleIdentifier();
        }
    }
    return handler;
}

std::optional<std::string> KVLFileTypeUtil::UTITypeForFileExtension(const std::optional<std::string>& extension) {
    if (!extension) {
        return std::nullopt;
    }
    return platform::ApplicationDatabase::preferredIdentifierForFilenameExtension(*extension);
}
