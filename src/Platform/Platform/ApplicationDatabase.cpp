#include "Platform/ApplicationDatabase.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <mutex>
#include <sstream>

#include "Platform/Bundle.h"
#include "Platform/Clock.h"
#include "Platform/ConfinedRoot.h"
#include "Platform/FileManager.h"
#include "Platform/Layout.h"
#include "Platform/PathUtilities.h"
#include "Platform/PlistValue.h"
#include "Platform/PropertyListSerialization.h"

namespace platform {

namespace {

constexpr std::string_view kApplicationsKey = "Applications";
constexpr std::string_view kHandlersKey = "Handlers";
constexpr std::string_view kPathKey = "Path";
constexpr std::string_view kIdentifierKey = "CFBundleIdentifier";
constexpr std::string_view kDocumentTypesKey = "CFBundleDocumentTypes";
constexpr std::string_view kContentTypesKey = "LSItemContentTypes";
constexpr std::string_view kRoleKey = "CFBundleTypeRole";

// Every change of the database is a read, a change and an atomic rewrite under this lock.
std::mutex& databaseMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr char kDatabaseFile[] = "Library/Preferences/com.orvane.lsregister.plist";

void report(Error* error, Error failure) {
    if (error != nullptr) {
        *error = std::move(failure);
    }
}

std::shared_ptr<const ConfinedRoot> openRoot(Error* error) { return ConfinedRoot::open(Layout::current().root, error); }

// The database as recorded; empty when there is none yet; null with the reason when it cannot
// be read or does not parse (*damaged tells the latter).
std::optional<PlistDictionary> readDatabase(const ConfinedRoot& root, Error* error, bool* damaged = nullptr) {
    constexpr std::int64_t kNoSuchFile = 260;
    Error failure;
    const auto bytes = root.contentsOfFile(kDatabaseFile, ApplicationDatabase::kMaxDatabaseSize, &failure);
    if (!bytes) {
        if (failure.domain == kCocoaErrorDomain && failure.code == kNoSuchFile) {
            return PlistDictionary{};
        }
        report(error, std::move(failure));
        return std::nullopt;
    }
    std::optional<PlistValue> database = PropertyListSerialization::propertyListWithData(*bytes, &failure);
    if (database && database->dictionary() != nullptr) {
        return std::move(*database->dictionary());
    }
    if (damaged != nullptr) {
        *damaged = true;
    }
    report(error, database ? Error{std::string(kCocoaErrorDomain), 3840, "The data holds no dictionary.", nullptr}
                           : std::move(failure));
    return std::nullopt;
}

// The database for a change. One that does not parse is moved aside, so that it is neither
// lost nor read again, and the change fails with the reason.
std::optional<PlistDictionary> readDatabaseForChange(const ConfinedRoot& root, Error* error) {
    Error failure;
    bool damaged = false;
    auto database = readDatabase(root, &failure, &damaged);
    if (!database && damaged) {
        const std::string aside = std::string(kDatabaseFile) + ".damaged-" +
                                  std::to_string(static_cast<long long>(Clock::now().timeIntervalSince1970()));
        const bool moved = root.moveItem(kDatabaseFile, aside);
        failure.localizedDescription = "The application database " + root.path() + "/" + kDatabaseFile +
                                       " is damaged (" + failure.localizedDescription + "); " +
                                       (moved ? "it was moved aside to " + root.path() + "/" + aside
                                              : std::string("it could not be moved aside")) +
                                       ".";
    }
    if (!database) {
        report(error, std::move(failure));
    }
    return database;
}

bool writeDatabase(const ConfinedRoot& root, const PlistDictionary& database, Error* error) {
    const auto xml = PropertyListSerialization::xmlDataWithPropertyList(PlistValue(database), error);
    return xml &&
           root.createDirectory(PathUtilities::stringByDeletingLastPathComponent(kDatabaseFile), true, {}, error) &&
           root.writeFile(kDatabaseFile, *xml, 0644, error);
}

const std::string* stringFor(const PlistDictionary& dictionary, std::string_view key) {
    const auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : found->second.string();
}

// The recorded applications, in the order recorded; entries that are not dictionaries with
// a path and an identifier are passed over.
std::vector<const PlistDictionary*> applications(const PlistDictionary& database) {
    std::vector<const PlistDictionary*> records;
    const auto found = database.find(kApplicationsKey);
    if (found == database.end() || found->second.array() == nullptr) {
        return records;
    }
    for (const PlistValue& value : *found->second.array()) {
        const PlistDictionary* record = value.dictionary();
        if (record != nullptr && stringFor(*record, kPathKey) != nullptr &&
            stringFor(*record, kIdentifierKey) != nullptr) {
            records.push_back(record);
        }
    }
    return records;
}

bool isFolder(const std::string& path) {
    bool folder = false;
    return FileManager::fileExistsAtPath(path, &folder) && folder;
}

std::uint32_t roleBits(const PlistDictionary& documentType) {
    const std::string* role = stringFor(documentType, kRoleKey);
    if (role == nullptr) {
        return ApplicationDatabase::RoleAll;
    }
    static const std::map<std::string, std::uint32_t, std::less<>> kRoles{
        {"None", ApplicationDatabase::RoleNone},
        {"Viewer", ApplicationDatabase::RoleViewer},
        {"Editor", ApplicationDatabase::RoleEditor},
        {"Shell", ApplicationDatabase::RoleShell},
    };
    const auto found = kRoles.find(*role);
    return found == kRoles.end() ? 0 : found->second;
}

bool handlesContentType(const PlistDictionary& application, std::string_view contentType, std::uint32_t roleMask) {
    const auto types = application.find(kDocumentTypesKey);
    if (types == application.end() || types->second.array() == nullptr) {
        return false;
    }
    for (const PlistValue& value : *types->second.array()) {
        const PlistDictionary* documentType = value.dictionary();
        if (documentType == nullptr || (roleBits(*documentType) & roleMask) == 0) {
            continue;
        }
        const auto listed = documentType->find(kContentTypesKey);
        if (listed != documentType->end() && listed->second.array() != nullptr &&
            std::find(listed->second.array()->begin(), listed->second.array()->end(), PlistValue(contentType)) !=
                listed->second.array()->end()) {
            return true;
        }
    }
    return false;
}

// The common public types, with their extensions and media types.
struct PublicType {
    std::string_view identifier;
    std::vector<std::string_view> extensions;
    std::vector<std::string_view> mediaTypes;
};

const std::vector<PublicType>& publicTypes() {
    static const std::vector<PublicType> kTypes{
        {"public.plain-text", {"txt", "text"}, {"text/plain"}},
        {"public.html", {"html", "htm"}, {"text/html"}},
        {"public.xml", {"xml"}, {"text/xml", "application/xml"}},
        {"public.json", {"json"}, {"application/json"}},
        {"public.comma-separated-values-text", {"csv"}, {"text/csv"}},
        {"public.rtf", {"rtf"}, {"text/rtf", "application/rtf"}},
        {"public.css", {"css"}, {"text/css"}},
        {"com.netscape.javascript-source", {"js"}, {"text/javascript", "application/javascript"}},
        {"public.shell-script", {"sh"}, {"application/x-sh"}},
        {"public.python-script", {"py"}, {"text/x-python"}},
        {"public.log", {"log"}, {}},
        {"public.yaml", {"yaml", "yml"}, {"application/yaml"}},
        {"com.adobe.pdf", {"pdf"}, {"application/pdf"}},
        {"public.jpeg", {"jpeg", "jpg"}, {"image/jpeg"}},
        {"public.png", {"png"}, {"image/png"}},
        {"com.compuserve.gif", {"gif"}, {"image/gif"}},
        {"public.tiff", {"tiff", "tif"}, {"image/tiff"}},
        {"com.microsoft.bmp", {"bmp"}, {"image/bmp"}},
        {"public.svg-image", {"svg"}, {"image/svg+xml"}},
        {"public.mp3", {"mp3"}, {"audio/mpeg"}},
        {"public.mpeg-4", {"mp4"}, {"video/mp4"}},
        {"public.zip-archive", {"zip"}, {"application/zip"}},
        {"org.gnu.gnu-zip-archive", {"gz", "gzip"}, {"application/gzip"}},
        {"public.tar-archive", {"tar"}, {"application/x-tar"}},
        {"com.apple.property-list", {"plist"}, {}},
        {"com.apple.application-bundle", {"app"}, {}},
        {"com.apple.disk-image-udif", {"dmg"}, {"application/x-apple-diskimage"}},
        {"com.apple.installer-package-archive", {"pkg"}, {}},
    };
    return kTypes;
}

std::string asciiLowercase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

struct MediaTypes {
    std::mutex mutex;
    std::string path = "/etc/mime.types";
    std::optional<std::map<std::string, std::string>> byExtension;  // read once per path
};

MediaTypes& mediaTypes() {
    static MediaTypes state;
    return state;
}

// "type ext ext ..." lines; "#" begins a comment; the first type listing an extension wins.
std::map<std::string, std::string> readMediaTypes(const std::string& path) {
    std::map<std::string, std::string> byExtension;
    std::istringstream lines(FileManager::contentsAtPath(path).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string type;
        words >> type;
        for (std::string extension; words >> extension;) {
            byExtension.emplace(asciiLowercase(extension), type);
        }
    }
    return byExtension;
}

std::optional<std::string> mediaTypeOfExtension(const std::string& extension) {
    MediaTypes& state = mediaTypes();
    const std::lock_guard lock(state.mutex);
    if (!state.byExtension) {
        state.byExtension = readMediaTypes(state.path);
    }
    const auto found = state.byExtension->find(extension);
    return found == state.byExtension->end() ? std::nullopt : std::optional(found->second);
}

// The platform's dynamic identifier of a file-name extension: the text "?0=6:1=<extension>"
// (tag class 6 is the file-name extension) in a base-32 alphabet without the letters i, j,
// l and o, five bits a character from the most significant bit, after "dyn.a".
std::string dynamicIdentifier(std::string_view extension) {
    static constexpr std::string_view kAlphabet = "abcdefghkmnpqrstuvwxyz0123456789";
    const std::string text = "?0=6:1=" + std::string(extension);
    std::string identifier = "dyn.a";
    unsigned bits = 0;
    int count = 0;
    for (const char character : text) {
        bits = (bits << 8) | static_cast<unsigned char>(character);
        count += 8;
        while (count >= 5) {
            count -= 5;
            identifier += kAlphabet[(bits >> count) & 0x1F];
        }
    }
    if (count > 0) {
        identifier += kAlphabet[(bits << (5 - count)) & 0x1F];
    }
    return identifier;
}

}  // namespace

std::string ApplicationDatabase::databasePath() { return Layout::current().pathUnderRoot(kDatabaseFile); }

std::int32_t ApplicationDatabase::registerURL(const URL& bundleURL, bool update, Error* error) {
    const std::string path = bundleURL.path();
    if (!bundleURL.isFileURL() || !isFolder(path)) {
        report(error, FileManager::errorFor(FileOperation::Read, ENOENT, path));
        return kFileNotFound;
    }
    const std::shared_ptr<Bundle> bundle = Bundle::bundleWithPath(path);
    const std::optional<std::string> identifier = bundle->bundleIdentifier();
    if (!identifier) {
        report(error, Error{std::string(kOSStatusErrorDomain), kApplicationNotFound,
                            "The application “" + PathUtilities::lastPathComponent(path) +
                                "” has no bundle identifier in its information.",
                            nullptr});
        return kApplicationNotFound;
    }
    PlistDictionary record{{std::string(kPathKey), bundle->bundlePath()}, {std::string(kIdentifierKey), *identifier}};
    if (const auto documentTypes = bundle->objectForInfoDictionaryKey(kDocumentTypesKey)) {
        record.emplace(kDocumentTypesKey, *documentTypes);
    }

    const std::lock_guard lock(databaseMutex());
    const auto root = openRoot(error);
    std::optional<PlistDictionary> database = root ? readDatabaseForChange(*root, error) : std::nullopt;
    if (!database) {
        return kUnknownError;
    }
    PlistValue& list = (*database)[std::string(kApplicationsKey)];
    if (list.array() == nullptr) {
        list = PlistArray{};
    }
    PlistArray& records = *list.array();
    const auto existing = std::find_if(records.begin(), records.end(), [&](const PlistValue& value) {
        const PlistDictionary* other = value.dictionary();
        return other != nullptr && stringFor(*other, kPathKey) != nullptr &&
               *stringFor(*other, kPathKey) == bundle->bundlePath();
    });
    if (existing == records.end()) {
        records.emplace_back(std::move(record));
    } else if (update) {
        *existing = std::move(record);
    } else {
        return kNoError;
    }
    return writeDatabase(*root, *database, error) ? kNoError : kUnknownError;
}

std::vector<URL> ApplicationDatabase::applicationURLsForBundleIdentifier(std::string_view bundleIdentifier,
                                                                         Error* error) {
    std::vector<URL> urls;
    const std::lock_guard lock(databaseMutex());
    const auto root = openRoot(error);
    const PlistDictionary database = (root ? readDatabase(*root, error) : std::nullopt).value_or(PlistDictionary{});
    for (const PlistDictionary* record : applications(database)) {
        const std::string& path = *stringFor(*record, kPathKey);
        if (*stringFor(*record, kIdentifierKey) == bundleIdentifier && isFolder(path)) {
            urls.push_back(URL::fileURLWithPath(path, true));
        }
    }
    return urls;
}

std::int32_t ApplicationDatabase::setDefaultRoleHandlerForContentType(std::string_view contentType,
                                                                      std::string_view bundleIdentifier, Error* error) {
    const std::lock_guard lock(databaseMutex());
    const auto root = openRoot(error);
    std::optional<PlistDictionary> database = root ? readDatabaseForChange(*root, error) : std::nullopt;
    if (!database) {
        return kUnknownError;
    }
    PlistValue& handlers = (*database)[std::string(kHandlersKey)];
    if (handlers.dictionary() == nullptr) {
        handlers = PlistDictionary{};
    }
    (*handlers.dictionary())[std::string(contentType)] = std::string(bundleIdentifier);
    return writeDatabase(*root, *database, error) ? kNoError : kUnknownError;
}

std::optional<std::string> ApplicationDatabase::defaultRoleHandlerForContentType(std::string_view contentType,
                                                                                 std::uint32_t roleMask) {
    const std::lock_guard lock(databaseMutex());
    const auto root = openRoot(nullptr);
    const PlistDictionary database = (root ? readDatabase(*root, nullptr) : std::nullopt).value_or(PlistDictionary{});
    const auto handlers = database.find(kHandlersKey);
    if (handlers != database.end() && handlers->second.dictionary() != nullptr) {
        if (const std::string* chosen = stringFor(*handlers->second.dictionary(), contentType)) {
            return *chosen;
        }
    }
    for (const PlistDictionary* record : applications(database)) {
        if (handlesContentType(*record, contentType, roleMask) && isFolder(*stringFor(*record, kPathKey))) {
            return *stringFor(*record, kIdentifierKey);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ApplicationDatabase::preferredIdentifierForFilenameExtension(std::string_view extension) {
    if (extension.empty()) {
        return std::nullopt;
    }
    const std::string lower = asciiLowercase(extension);
    for (const PublicType& type : publicTypes()) {
        if (std::find(type.extensions.begin(), type.extensions.end(), lower) != type.extensions.end()) {
            return std::string(type.identifier);
        }
    }
    const auto mediaType = mediaTypeOfExtension(lower);
    for (const PublicType& type : publicTypes()) {
        if (mediaType &&
            std::find(type.mediaTypes.begin(), type.mediaTypes.end(), *mediaType) != type.mediaTypes.end()) {
            return std::string(type.identifier);
        }
    }
    return dynamicIdentifier(extension);
}

std::string ApplicationDatabase::exchangeMediaTypesPath(std::string path) {
    MediaTypes& state = mediaTypes();
    const std::lock_guard lock(state.mutex);
    state.byExtension.reset();
    std::swap(state.path, path);
    return path;
}

}  // namespace platform
