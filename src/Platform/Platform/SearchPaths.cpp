#include "Platform/SearchPaths.h"

#include <optional>

#include "Platform/Layout.h"

namespace platform {

namespace {

// The directory's place inside a Library folder ("" for the Library itself); null for the
// Applications folder, which sits beside the Library.
std::optional<std::string> insideLibrary(SearchPathDirectory directory) {
    switch (directory) {
        case SearchPathDirectory::Library: return "";
        case SearchPathDirectory::Caches: return "/Caches";
        case SearchPathDirectory::ApplicationSupport: return "/Application Support";
        case SearchPathDirectory::Logs: return "/Logs";
        case SearchPathDirectory::Applications: break;
    }
    return std::nullopt;
}

// The directory inside a domain folder: "<base>/Library/..." or "<base>/Applications".
std::string inDomainFolder(const std::string& base, SearchPathDirectory directory) {
    const std::string prefix = base == "/" ? "" : base;
    const auto library = insideLibrary(directory);
    return library ? prefix + "/Library" + *library : prefix + "/Applications";
}

}  // namespace

std::vector<std::string> SearchPaths::forDirectoriesInDomains(SearchPathDirectory directory, unsigned domainMask,
                                                              bool expandTilde) {
    const Layout layout = Layout::current();
    std::vector<std::string> folders;
    if (domainMask & UserDomainMask) {
        folders.push_back(expandTilde ? inDomainFolder(layout.home, directory) : "~" + inDomainFolder("/", directory));
    }
    if (domainMask & LocalDomainMask) {
        folders.push_back(inDomainFolder(layout.root, directory));
    }
    if (domainMask & SystemDomainMask) {
        folders.push_back(inDomainFolder(layout.pathUnderRoot("System"), directory));
    }
    return folders;
}

std::string SearchPaths::temporaryDirectory() { return Layout::current().temporaryDirectory; }

}  // namespace platform
