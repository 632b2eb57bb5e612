#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The platform string's path operations (the NSString path stand-in). Paths are "/"-separated
// UTF-8 text; the operations are textual and never look at the file system, except tilde
// expansion, which reads the layout's home folder and the password database.
//
// The rules shared by the operations that build a path: duplicate slashes collapse to one, a
// trailing slash is removed except when the path is "/" itself, "" stays "".
struct PathUtilities {
    // The path with duplicate slashes collapsed and no trailing slash (except for "/").
    static std::string standardizedSeparators(std::string_view path);

    // "a" + "b" -> "a/b"; "" + "b" -> "b"; "/" + "b" -> "/b"; "a" + "" -> "a"; "/tmp/" + "/x/" -> "/tmp/x".
    static std::string stringByAppendingPathComponent(std::string_view path, std::string_view component);
    // "/tmp/scratch.tiff" -> "scratch.tiff"; "/tmp/" -> "tmp"; "/" -> "/"; "" -> "".
    static std::string lastPathComponent(std::string_view path);
    // The same component as a view into path (or of "/"), for callers that must not allocate.
    static std::string_view lastPathComponentView(std::string_view path);
    // The text after the last dot of the last component: "a/b.tar.gz" -> "gz". A component
    // that only begins with a dot (".profile"), or has none, has no extension ("").
    static std::string pathExtension(std::string_view path);
    // "/tmp/scratch.tiff" -> "/tmp"; "/tmp/lock/" -> "/tmp"; "/tmp" -> "/"; "/" -> "/"; "a" -> "".
    static std::string stringByDeletingLastPathComponent(std::string_view path);
    // "/tmp/scratch.tiff" -> "/tmp/scratch"; "/tmp/" -> "/tmp"; ".profile" -> ".profile".
    static std::string stringByDeletingPathExtension(std::string_view path);
    // "~" and "~/..." -> the layout's home; "~name/..." -> that user's home from the password
    // database; an unknown user, or no leading "~", leaves the path as it is (standardized).
    static std::string stringByExpandingTildeInPath(std::string_view path);
    // "/tmp/scratch" -> {"/", "tmp", "scratch"}; a trailing slash gives a last "/" component
    // ("/tmp/" -> {"/", "tmp", "/"}); "" -> {}.
    static std::vector<std::string> pathComponents(std::string_view path);
};

}  // namespace platform
