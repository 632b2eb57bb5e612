#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// The process-wide file-system layout: where the machine's places (Library, Applications),
// the user's home and the temporary folder are. Every "where is ..." answer of the platform
// layer comes from it, so that a host started with a root, and every test, works inside a
// folder of its own instead of the real machine.
//
// Paths are kept absolute and normalized: no trailing slash except for "/" itself; the
// temporary folder alone ends in "/", as the platform's temporary folder does.
struct Layout {
    std::string root;
    std::string home;
    std::string temporaryDirectory;

    // The real machine: root "/", home $HOME (or the password database's home folder when
    // unset), temporary folder $TMPDIR or "/tmp".
    static Layout systemDefault();
    // A layout under another root. The home defaults to "<root>/Users/<user name>", the
    // temporary folder to the system's.
    static Layout underRoot(std::string_view root, const std::optional<std::string>& home = std::nullopt,
                            const std::optional<std::string>& temporaryDirectory = std::nullopt);

    // The process's layout; systemDefault() until one is set. Safe from any thread.
    static Layout current();
    // Replaces the process's layout (normalizing its paths) and answers the one it replaced.
    static Layout exchange(Layout layout);
    static void set(Layout layout) { exchange(std::move(layout)); }

    // "<root>/<relative>" ("/<relative>" for the root "/").
    std::string pathUnderRoot(std::string_view relative) const;

    bool operator==(const Layout&) const = default;
};

}  // namespace platform
