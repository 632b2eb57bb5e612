#include "Platform/Layout.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "Platform/SearchPaths.h"

namespace platform {

namespace {

// Absolute (against the current folder), lexically normal, without a trailing slash.
std::string normalizedFolder(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    std::string text = std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::string defaultHome() {
    if (auto home = environmentValue("HOME")) {
        return *home;
    }
    return SearchPaths::passwordDatabaseHome();
}

std::string defaultTemporaryDirectory() { return environmentValue("TMPDIR").value_or("/tmp"); }

Layout normalized(Layout layout) {
    layout.root = normalizedFolder(layout.root.empty() ? "/" : layout.root);
    layout.home = normalizedFolder(layout.home.empty() ? defaultHome() : layout.home);
    layout.temporaryDirectory =
        normalizedFolder(layout.temporaryDirectory.empty() ? defaultTemporaryDirectory() : layout.temporaryDirectory);
    if (layout.temporaryDirectory != "/") {
        layout.temporaryDirectory += '/';
    }
    return layout;
}

std::mutex& layoutMutex() {
    static std::mutex mutex;
    return mutex;
}

// Set on first use, so that the environment is read when the layout is first needed.
std::optional<Layout>& currentLayout() {
    static std::optional<Layout> layout;
    return layout;
}

}  // namespace

Layout Layout::systemDefault() { return normalized(Layout{"/", defaultHome(), defaultTemporaryDirectory()}); }

Layout Layout::underRoot(std::string_view root, const std::optional<std::string>& home,
                         const std::optional<std::string>& temporaryDirectory) {
    Layout layout{std::string(root), home.value_or(""), temporaryDirectory.value_or("")};
    layout.root = normalizedFolder(layout.root.empty() ? "/" : layout.root);
    if (!home) {
        layout.home = layout.pathUnderRoot("Users/" + SearchPaths::userName());
    }
    return normalized(std::move(layout));
}

Layout Layout::current() {
    std::lock_guard lock(layoutMutex());
    auto& layout = currentLayout();
    if (!layout) {
        layout = systemDefault();
    }
    return *layout;
}

Layout Layout::exchange(Layout layout) {
    layout = normalized(std::move(layout));
    std::lock_guard lock(layoutMutex());
    auto& current = currentLayout();
    Layout previous = current ? std::move(*current) : systemDefault();
    current = std::move(layout);
    return previous;
}

std::string Layout::pathUnderRoot(std::string_view relative) const {
    std::string path = root;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path.append(relative);
    return path;
}

}  // namespace platform
