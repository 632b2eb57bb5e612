#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/PlistValue.h"
#include "Platform/StringsTable.h"

namespace platform {

// A bundle folder (the NSBundle stand-in), always held by std::shared_ptr: callers compare
// bundles by identity.
//
// Layout: a bundle with a "Contents" folder keeps its information in Contents/Info.plist
// and its resources in Contents/Resources; any other folder (a flat bundle, or a language
// folder "xx.lproj" opened by itself) keeps Info.plist at its top and is its own resource
// folder.
//
// Resource search: the resource folder first, then its language folders "<lang>.lproj" in
// the order of preference: "en", then "Base", then the others by name. The first match wins.
// Localized strings look the key up in the tables of that name found in the same order.
class Bundle {
public:
    // Null when the path is not an existing folder.
    static std::shared_ptr<Bundle> bundleWithPath(const std::string& path);

    // The process's main bundle: the bundle of the running executable unless one was set.
    static std::shared_ptr<Bundle> mainBundle();
    // Replaces the main bundle (hosts and tests); null restores the executable's bundle.
    static void setMainBundle(std::shared_ptr<Bundle> bundle);
    // The bundle of the loaded module (executable or shared object) holding the address; the
    // main bundle itself for the main bundle's folder; null for an address in no module.
    static std::shared_ptr<Bundle> bundleForAddress(const void* address);
    // The bundle folder of a module file: "X" for ".../X/Contents/MacOS/<file>", otherwise
    // the file's own folder.
    static std::string bundlePathForModule(const std::string& modulePath);

    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // Absolute and normalized, without a trailing slash.
    const std::string& bundlePath() const { return bundlePath_; }
    // Read once when the bundle is opened; empty when there is none, it is not a dictionary,
    // or it is not a regular file of at most kMaximumInfoSize bytes.
    const PlistDictionary& infoDictionary() const { return infoDictionary_; }
    // An information file holds a few dozen short entries.
    static constexpr std::uint64_t kMaximumInfoSize = std::uint64_t{1} << 20;
    std::optional<PlistValue> objectForInfoDictionaryKey(std::string_view key) const;
    // "CFBundleIdentifier" of the info dictionary, when it is a string.
    std::optional<std::string> bundleIdentifier() const;
    const std::string& resourcePath() const { return resourcePath_; }

    // The path of "<name>.<type>" (just "<name>" with an empty or null type), a file or a
    // folder, found by the resource search; null when there is none.
    std::optional<std::string> pathForResource(std::string_view name, const std::optional<std::string>& type) const;
    // The same, inside the sub-folder inDirectory of each searched folder.
    std::optional<std::string> pathForResource(std::string_view name, const std::optional<std::string>& type,
                                               const std::optional<std::string>& inDirectory) const;

    // The text of the key in the strings table "<table>.strings" (null or empty: "Localizable").
    // A missing key answers value when it is non-empty, else the key itself. Each table is
    // read once per bundle; a table that cannot be read counts as empty.
    std::string localizedStringForKey(std::string_view key, const std::optional<std::string>& value,
                                      const std::optional<std::string>& table) const;

private:
    explicit Bundle(std::string path);

    // The resource folder, then its language folders in the order of preference.
    std::vector<std::string> searchFolders() const;
    const StringsTable::Table& table(const std::string& name) const;

    // The operating system's side (Bundle_linux.cpp).
    static std::optional<std::string> executablePath();
    static std::optional<std::string> modulePathForAddress(const void* address);

    std::string bundlePath_;
    std::string resourcePath_;
    PlistDictionary infoDictionary_;
    mutable std::mutex tablesMutex_;
    mutable std::map<std::string, StringsTable::Table, std::less<>> tables_;
};

}  // namespace platform
