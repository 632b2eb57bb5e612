#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The platform's standard folders (the NSSearchPathForDirectoriesInDomains stand-in), with
// the platform's values.
enum class SearchPathDirectory {
    Applications = 1,
    Library = 5,
    Caches = 13,
    ApplicationSupport = 14,
    Logs = 1000,  // the Library's "Logs" folder; no constant of the platform, kept apart
};

// Domains as a bit mask, with the platform's values.
enum SearchPathDomainMask : unsigned {
    UserDomainMask = 1,
    LocalDomainMask = 2,
    NetworkDomainMask = 4,
    SystemDomainMask = 8,
    AllDomainsMask = 0x0ffff,
};

// The standard folders, answered from the process's layout (Layout.h): the user domain in the
// home ("<home>/Library/..."), the local domain under the root ("<root>/Library/...",
// "<root>/Applications"), the system domain under "<root>/System". The network domain has no
// folders here.
struct SearchPaths {
    // The folders of a directory in the domains of the mask, user first, then local, network
    // and system, as the platform orders them. Without tilde expansion the user domain's
    // folders begin with "~".
    static std::vector<std::string> forDirectoriesInDomains(SearchPathDirectory directory, unsigned domainMask,
                                                            bool expandTilde);

    // The process's temporary folder (NSTemporaryDirectory), ending in "/".
    static std::string temporaryDirectory();

    // The effective user's login name from the password database (NSUserName); $USER when
    // the database has no entry, else "".
    static std::string userName();
    // The effective user's home folder from the password database; "/" when it has none.
    static std::string passwordDatabaseHome();
    // A user's home folder from the password database; null for an unknown user.
    static std::optional<std::string> homeOfUser(std::string_view userName);
};

}  // namespace platform
