#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A URL (the NSURL stand-in), kept in its resolved, absolute form: a URL made relative to a
// base is resolved at once (RFC 3986 section 5), so two URLs are equal when their absolute
// strings are. The parts are kept percent-encoded; path() decodes.
class URL {
public:
    // The file URL of a path: an absolute path as it is, a relative one resolved against the
    // current folder ("" is the current folder). The URL ends with "/" when the path ends with
    // "/" or names an existing folder.
    static URL fileURLWithPath(std::string_view path);
    static URL fileURLWithPath(std::string_view path, bool isDirectory);

    // The URL of a text in URL syntax; null when the text holds characters that are not
    // allowed in a URL (spaces, controls, non-ASCII, `"<>\^{|}`), a "%" without two hex digits
    // after it, a malformed scheme, brackets anywhere but around an IP literal host, a port
    // that is not a number, or a second "#". Against a base, a relative reference is resolved by
    // RFC 3986 section 5.2 (merge, remove_dot_segments); without one, it stays relative.
    static std::optional<URL> URLWithString(std::string_view text);
    static std::optional<URL> URLWithString(std::string_view text, const std::optional<URL>& base);

    // "" when the URL is relative.
    const std::string& scheme() const { return scheme_; }
    bool isFileURL() const { return scheme_ == "file"; }
    // The percent-decoded path, without a trailing slash except for "/".
    std::string path() const;
    // "scheme://authority/path?query#fragment", percent-encoded. A text that reads back as
    // the same URL: without an authority, a path starting with "//" is written after "/.",
    // and in a relative URL a first segment holding ":" after "./" (RFC 3986 sections 3.3
    // and 4.2).
    std::string absoluteString() const;
    std::string description() const { return absoluteString(); }
    // The path ends with "/".
    bool hasDirectoryPath() const { return !path_.empty() && path_.back() == '/'; }

    std::string lastPathComponent() const;
    std::string pathExtension() const;
    // The component (percent-encoded as needed, leading slashes dropped, a trailing one kept)
    // appended to the path. The result names a
    // folder (ends with "/") when the component ends with "/", or, for a file URL, when the
    // new path names an existing folder.
    URL URLByAppendingPathComponent(std::string_view component) const;
    URL URLByAppendingPathComponent(std::string_view component, bool isDirectory) const;
    // The path without its last component, ending with "/"; "/" stays "/".
    URL URLByDeletingLastPathComponent() const;

    bool operator==(const URL& other) const { return absoluteString() == other.absoluteString(); }

    // Percent-encodes the bytes of a path that may not stand in a URL path (RFC 3986 pchar
    // and "/" stay).
    static std::string percentEncodedPath(std::string_view path);
    // Decodes "%hh" sequences; other bytes stay.
    static std::string percentDecoded(std::string_view text);

private:
    URL() = default;

    std::string scheme_;
    std::optional<std::string> authority_;
    std::string path_;  // percent-encoded
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

}  // namespace platform
