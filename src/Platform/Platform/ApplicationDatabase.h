#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Error.h"
#include "Platform/URL.h"

namespace platform {

// The machine's application database (the Launch Services, uniform type and running
// application stand-in): which application bundles are registered, which one handles a
// content type, which type an extension names, and which applications run.
//
// The database is a property list under the layout's root,
// "<root>/Library/Preferences/com.orvane.lsregister.plist", reached through the root opened
// as a confined root (a link leading out of it is refused), read as a regular file of at most
// kMaxDatabaseSize bytes and rewritten atomically at every change. A missing database is an
// empty one. A change never rewrites a database it could not read: one that does not parse is
// moved aside to "<name>.damaged-<seconds since 1970>" and the change fails with the reason,
// so the next change starts an empty one; any other failure to read leaves the file alone.
// Lookups take a database they cannot read for an empty one. Calls of one process are
// serialized; two processes changing it at once may lose one change, as nothing locks the
// file between its reading and its writing.
class ApplicationDatabase {
public:
    // Status codes, with the platform's values (OSStatus).
    static constexpr std::int32_t kNoError = 0;
    static constexpr std::int32_t kFileNotFound = -43;            // fnfErr
    static constexpr std::int32_t kUnknownError = -10810;         // kLSUnknownErr
    static constexpr std::int32_t kApplicationNotFound = -10814;  // kLSApplicationNotFoundErr
    static constexpr std::uint64_t kMaxDatabaseSize = 16 * 1024 * 1024;

    // Handler roles, with the platform's values; a mask of them chooses the roles asked for.
    enum Role : std::uint32_t {
        RoleNone = 0x1,
        RoleViewer = 0x2,
        RoleEditor = 0x4,
        RoleShell = 0x8,
        RoleAll = 0xFFFFFFFF,
    };

    // A process running the executable of an application bundle.
    struct RunningApplication {
        int processIdentifier;
        std::string bundleIdentifier;
        URL bundleURL;
        URL executableURL;
    };

    // The database file of the current layout.
    static std::string databasePath();

    // Records the application bundle at a file URL: its folder, its "CFBundleIdentifier",
    // and its "CFBundleDocumentTypes" (the content types it handles). A bundle already
    // recorded is read again with update and left as recorded without. kFileNotFound when
    // the URL names no folder; kApplicationNotFound when the folder's information holds no
    // identifier; kUnknownError when the database cannot be read or written. A status other
    // than kNoError comes with its reason in *error.
    static std::int32_t registerURL(const URL& bundleURL, bool update, Error* error = nullptr);

    // The folders of the recorded applications with the identifier that still exist, in
    // the order they were first recorded; none, with the reason in *error, when the database
    // cannot be read.
    static std::vector<URL> applicationURLsForBundleIdentifier(std::string_view bundleIdentifier,
                                                               Error* error = nullptr);

    // Makes an application the handler of a content type for every role.
    static std::int32_t setDefaultRoleHandlerForContentType(std::string_view contentType,
                                                            std::string_view bundleIdentifier, Error* error = nullptr);
    // The identifier of the application that handles a content type in one of the roles of
    // the mask: the one made its handler, or else the first recorded application (still
    // present) whose document types list the type in a role of the mask ("CFBundleTypeRole"
    // "None", "Viewer", "Editor" or "Shell"; a type without a role serves every role). Null
    // when there is none.
    static std::optional<std::string> defaultRoleHandlerForContentType(std::string_view contentType,
                                                                       std::uint32_t roleMask);

    // The preferred uniform type identifier of a file-name extension (without its dot; case
    // does not matter): the common public types by their extensions, then by the media type
    // that the system's media-type list (/etc/mime.types) gives the extension, and for any
    // other extension a dynamic identifier "dyn.a..." that encodes it. Null for "".
    static std::optional<std::string> preferredIdentifierForFilenameExtension(std::string_view extension);
    // The media-type list that the lookup reads; answers the one it replaces.
    static std::string exchangeMediaTypesPath(std::string path);

    // The running processes whose executable is the "CFBundleExecutable" of a bundle (a file
    // in its "Contents/MacOS") with the identifier, found through each process's
    // /proc/<pid>/exe, in process-id order.
    static std::vector<RunningApplication> runningApplicationsWithBundleIdentifier(std::string_view bundleIdentifier);
};

}  // namespace platform
