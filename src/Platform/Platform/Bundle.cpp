#include "Platform/Bundle.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "Platform/PropertyListSerialization.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDefaultTable = "Localizable";

bool isFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

std::string standardizedPath(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error).lexically_normal();
    std::string text = absolute.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

// "en" first, then "Base", then the others by name.
int preferenceRank(const std::string& folderName) {
    if (folderName == "en.lproj") {
        return 0;
    }
    return folderName == "Base.lproj" ? 1 : 2;
}

struct MainBundleState {
    std::mutex mutex;
    std::shared_ptr<Bundle> bundle;
};

MainBundleState& mainBundleState() {
    static MainBundleState state;
    return state;
}

}  // namespace

Bundle::Bundle(std::string path) : bundlePath_(std::move(path)) {
    const fs::path contents = fs::path(bundlePath_) / "Contents";
    const bool hasContents = isFolder(contents);
    resourcePath_ = hasContents ? (contents / "Resources").string() : bundlePath_;
    const fs::path info = (hasContents ? contents : fs::path(bundlePath_)) / "Info.plist";
    if (std::optional<PlistDictionary> dictionary =
            PropertyListSerialization::dictionaryWithContentsOfFile(info, kMaximumInfoSize)) {
        infoDictionary_ = std::move(*dictionary);
    }
}

std::shared_ptr<Bundle> Bundle::bundleWithPath(const std::string& path) {
    if (path.empty() || !isFolder(path)) {
        return nullptr;
    }
    return std::shared_ptr<Bundle>(new Bundle(standardizedPath(path)));
}

std::string Bundle::bundlePathForModule(const std::string& modulePath) {
    const fs::path folder = fs::path(modulePath).parent_path();
    if (folder.filename() == "MacOS" && folder.parent_path().filename() == "Contents") {
        return folder.parent_path().parent_path().string();
    }
    return folder.string();
}

std::shared_ptr<Bundle> Bundle::mainBundle() {
    MainBundleState& state = mainBundleState();
    const std::lock_guard lock(state.mutex);
    if (!state.bundle) {
        if (const std::optional<std::string> executable = executablePath()) {
            state.bundle = bundleWithPath(bundlePathForModule(*executable));
        }
    }
    return state.bundle;
}

void Bundle::setMainBundle(std::shared_ptr<Bundle> bundle) {
    MainBundleState& state = mainBundleState();
    const std::lock_guard lock(state.mutex);
    state.bundle = std::move(bundle);
}

std::shared_ptr<Bundle> Bundle::bundleForAddress(const void* address) {
    const std::optional<std::string> module = modulePathForAddress(address);
    if (!module) {
        return nullptr;
    }
    const std::string path = standardizedPath(bundlePathForModule(*module));
    std::shared_ptr<Bundle> main = mainBundle();
    if (main && main->bundlePath() == path) {
        return main;
    }
    return bundleWithPath(path);
}

std::optional<PlistValue> Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    const auto found = infoDictionary_.find(key);
    if (found == infoDictionary_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    const auto found = infoDictionary_.find(std::string_view("CFBundleIdentifier"));
    if (found == infoDictionary_.end() || found->second.string() == nullptr) {
        return std::nullopt;
    }
    return *found->second.string();
}

std::vector<std::string> Bundle::searchFolders() const {
    std::vector<std::string> languages;
    std::error_code error;
    for (fs::directory_iterator entry(resourcePath_, error), end; !error && entry != end; entry.increment(error)) {
        if (entry->path().extension() == ".lproj" && isFolder(entry->path())) {
            languages.push_back(entry->path().filename().string());
        }
    }
    std::sort(languages.begin(), languages.end(), [](const std::string& a, const std::string& b) {
        return std::pair(preferenceRank(a), a) < std::pair(preferenceRank(b), b);
    });
    std::vector<std::string> folders{resourcePath_};
    for (const std::string& language : languages) {
        folders.push_back(resourcePath_ + "/" + language);
    }
    return folders;
}

std::optional<std::string> Bundle::pathForResource(std::string_view name,
                                                   const std::optional<std::string>& type) const {
    return pathForResource(name, type, std::nullopt);
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, const std::optional<std::string>& type,
                                                   const std::optional<std::string>& inDirectory) const {
    if (name.empty()) {
        return std::nullopt;
    }
    std::string fileName(name);
    if (type && !type->empty()) {
        fileName += "." + *type;
    }
    for (const std::string& folder : searchFolders()) {
        fs::path candidate(folder);
        if (inDirectory && !inDirectory->empty()) {
            candidate /= *inDirectory;
        }
        candidate /= fileName;
        std::error_code error;
        if (fs::exists(candidate, error)) {
            return candidate.lexically_normal().string();
        }
    }
    return std::nullopt;
}

const StringsTable::Table& Bundle::table(const std::string& name) const {
    const std::lock_guard lock(tablesMutex_);
    if (const auto cached = tables_.find(name); cached != tables_.end()) {
        return cached->second;
    }
    // Tables found earlier in the search order win over later ones.
    StringsTable::Table merged;
    for (const std::string& folder : searchFolders()) {
        if (std::optional<StringsTable::Table> found =
                StringsTable::tableWithContentsOfFile(folder + "/" + name + ".strings")) {
            merged.merge(*found);
        }
    }
    return tables_.emplace(name, std::move(merged)).first->second;
}

std::string Bundle::localizedStringForKey(std::string_view key, const std::optional<std::string>& value,
                                          const std::optional<std::string>& tableName) const {
    const StringsTable::Table& strings =
        table(tableName && !tableName->empty() ? *tableName : std::string(kDefaultTable));
    if (const auto found = strings.find(key); found != strings.end()) {
        return found->second;
    }
    return value && !value->empty() ? *value : std::string(key);
}

}  // namespace platform
