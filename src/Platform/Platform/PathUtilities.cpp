#include "Platform/PathUtilities.h"

#include <cstring>

#include "Platform/Layout.h"
#include "Platform/SearchPaths.h"

namespace platform {

namespace {

// Where the extension's dot is in the standardized path, or npos. The dot must be in the
// last component and not its first character.
std::size_t extensionDot(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    return dot != std::string_view::npos && dot > start ? dot : std::string_view::npos;
}

}  // namespace

std::string PathUtilities::standardizedSeparators(std::string_view path) {
    if (path.find("//") == std::string_view::npos && (path.size() <= 1 || path.back() != '/')) {
        return std::string(path);
    }
    std::string result;
    result.reserve(path.size());
    for (char c : path) {
        if (c != '/' || result.empty() || result.back() != '/') {
            result += c;
        }
    }
    if (result.size() > 1 && result.back() == '/') {
        result.pop_back();
    }
    return result;
}

std::string PathUtilities::stringByAppendingPathComponent(std::string_view path, std::string_view component) {
    if (path.empty()) {
        return standardizedSeparators(component);
    }
    std::string joined(path);
    joined += '/';
    joined.append(component);
    return standardizedSeparators(joined);
}

std::string PathUtilities::lastPathComponent(std::string_view path) { return std::string(lastPathComponentView(path)); }

std::string_view PathUtilities::lastPathComponentView(std::string_view path) {
    // The last component is the same with or without the separators standardized. Every log
    // line names its caller's file by it, hence the vector search for the slash.
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == '/') {
        --end;
    }
    if (end == 0) {
        return path.empty() ? std::string_view() : std::string_view("/");
    }
    const auto* slash = static_cast<const char*>(::memrchr(path.data(), '/', end));
    const std::size_t first = slash == nullptr ? 0 : static_cast<std::size_t>(slash - path.data()) + 1;
    return path.substr(first, end - first);
}

std::string PathUtilities::pathExtension(std::string_view path) {
    const std::string clean = standardizedSeparators(path);
    const std::size_t dot = extensionDot(clean);
    return dot == std::string::npos ? std::string() : clean.substr(dot + 1);
}

std::string PathUtilities::stringByDeletingLastPathComponent(std::string_view path) {
    const std::string clean = standardizedSeparators(path);
    const std::size_t slash = clean.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? "/" : clean.substr(0, slash);
}

std::string PathUtilities::stringByDeletingPathExtension(std::string_view path) {
    const std::string clean = standardizedSeparators(path);
    const std::size_t dot = extensionDot(clean);
    return dot == std::string::npos ? clean : clean.substr(0, dot);
}

std::string PathUtilities::stringByExpandingTildeInPath(std::string_view path) {
    if (path.empty() || path.front() != '~') {
        return standardizedSeparators(path);
    }
    const std::size_t slash = path.find('/');
    const std::string_view user = path.substr(1, slash == std::string_view::npos ? std::string_view::npos : slash - 1);
    const std::string_view rest = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
    std::string home;
    if (user.empty()) {
        home = Layout::current().home;
    } else if (auto found = SearchPaths::homeOfUser(user)) {
        home = *found;
    } else {
        return standardizedSeparators(path);
    }
    return standardizedSeparators(home + std::string(rest));
}

std::vector<std::string> PathUtilities::pathComponents(std::string_view path) {
    std::vector<std::string> components;
    if (!path.empty() && path.front() == '/') {
        components.emplace_back("/");
    }
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            components.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    if (path.size() > 1 && path.back() == '/') {
        components.emplace_back("/");
    }
    return components;
}

}  // namespace platform
