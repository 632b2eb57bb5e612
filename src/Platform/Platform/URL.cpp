#include "Platform/URL.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>

#include "Platform/PathUtilities.h"
#include "Platform/Scanner.h"

namespace platform {

namespace {

bool isUnreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

bool isSubDelimiter(char c) { return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos; }

bool isPathCharacter(unsigned char c) {
    return isUnreserved(c) || isSubDelimiter(static_cast<char>(c)) || c == ':' || c == '@';
}

// Every byte may stand in a URL text: unreserved, reserved, or "%" with two hex digits.
bool isValidURLText(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size() || Scanner::hexDigitValue(text[i + 1]) < 0 ||
                Scanner::hexDigitValue(text[i + 2]) < 0) {
                return false;
            }
            i += 2;
        } else if (!isPathCharacter(c) &&
                   std::string_view("/?#[]").find(static_cast<char>(c)) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// A host in brackets (RFC 3986 section 3.2.2): an IPv6 address or "v" hex digits "." text.
bool isIPLiteral(std::string_view inside) {
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (!inside.empty() && (inside.front() == 'v' || inside.front() == 'V')) {
        const std::size_t dot = inside.find('.');
        return dot != std::string_view::npos && dot > 1 && dot + 1 < inside.size() &&
               std::all_of(inside.begin() + 1, inside.begin() + static_cast<std::ptrdiff_t>(dot), isHex) &&
               inside.find('[') == std::string_view::npos;
    }
    return !inside.empty() &&
           std::all_of(inside.begin(), inside.end(), [&](char c) { return isHex(c) || c == ':' || c == '.'; });
}

// RFC 3986 section 3.2: [userinfo "@"] host [":" port], the host an IP literal in brackets
// or a name without ":" or brackets, the port digits only.
bool isValidAuthority(std::string_view authority) {
    if (const std::size_t at = authority.find('@'); at != std::string_view::npos) {
        if (authority.substr(0, at).find_first_of("[]") != std::string_view::npos) {
            return false;
        }
        authority.remove_prefix(at + 1);
    }
    std::string_view port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !isIPLiteral(authority.substr(1, close - 1))) {
            return false;
        }
        port = authority.substr(close + 1);
    } else {
        const std::size_t colon = authority.find(':');
        if (authority.substr(0, colon).find_first_of("[]@") != std::string_view::npos) {
            return false;
        }
        port = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    }
    return port.empty() || (port.front() == ':' && std::all_of(port.begin() + 1, port.end(), [](char c) {
                                return std::isdigit(static_cast<unsigned char>(c)) != 0;
                            }));
}

bool isValidScheme(std::string_view scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme.front()))) {
        return false;
    }
    for (char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./") || input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            const std::size_t slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const std::size_t next = input.find('/', 1);
            const std::size_t length = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return output;
}

}  // namespace

std::string URL::percentEncodedPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (isPathCharacter(byte) || c == '/') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xF];
        }
    }
    return encoded;
}

std::string URL::percentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? Scanner::hexDigitValue(text[i + 1]) : -1;
        const int low = high >= 0 ? Scanner::hexDigitValue(text[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

URL URL::fileURLWithPath(std::string_view path) {
    std::error_code ignored;
    const bool isDirectory =
        path.ends_with('/') || path.empty() || std::filesystem::is_directory(std::filesystem::path(path), ignored);
    return fileURLWithPath(path, isDirectory);
}

URL URL::fileURLWithPath(std::string_view path, bool isDirectory) {
    std::string encoded = percentEncodedPath(PathUtilities::standardizedSeparators(path));
    if (isDirectory && encoded != "/") {
        encoded += '/';
    }
    URL url;
    url.scheme_ = "file";
    url.authority_ = "";
    if (!path.starts_with('/')) {
        std::error_code ignored;
        const URL base = fileURLWithPath(std::filesystem::current_path(ignored).string(), true);
        // A relative path is taken as a relative reference against the current folder; its
        // text cannot hold a scheme or query, because it is percent-encoded.
        url.path_ = removeDotSegments(base.path_ + (encoded == "/" ? "" : encoded));
        return url;
    }
    url.path_ = std::move(encoded);
    return url;
}

std::optional<URL> URL::URLWithString(std::string_view text) { return URLWithString(text, std::nullopt); }

std::optional<URL> URL::URLWithString(std::string_view text, const std::optional<URL>& base) {
    if (!isValidURLText(text)) {
        return std::nullopt;
    }
    // RFC 3986 appendix B: scheme ":" "//" authority path "?" query "#" fragment.
    URL reference;
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos) {
        reference.fragment_ = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    if (const std::size_t question = text.find('?'); question != std::string_view::npos) {
        reference.query_ = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    if (const std::size_t colon = text.find(':'); colon != std::string_view::npos && colon < text.find('/')) {
        if (!isValidScheme(text.substr(0, colon))) {
            return std::nullopt;
        }
        reference.scheme_ = std::string(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    if (text.starts_with("//")) {
        const std::size_t end = text.find('/', 2);
        reference.authority_ = std::string(text.substr(2, end == std::string_view::npos ? end : end - 2));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end);
    }
    reference.path_ = std::string(text);
    // Brackets stand only around an IP literal host, and "#" only before the fragment.
    const auto holdsAny = [](const std::optional<std::string>& part, std::string_view characters) {
        return part && part->find_first_of(characters) != std::string::npos;
    };
    if (holdsAny(reference.path_, "[]") || holdsAny(reference.query_, "[]") || holdsAny(reference.fragment_, "#[]") ||
        (reference.authority_ && !isValidAuthority(*reference.authority_))) {
        return std::nullopt;
    }
    if (!reference.scheme_.empty() || !base) {
        if (!reference.scheme_.empty()) {
            reference.path_ = removeDotSegments(reference.path_);
        }
        return reference;
    }

    // RFC 3986 section 5.2.2, the reference having no scheme.
    URL target;
    target.scheme_ = base->scheme_;
    target.fragment_ = reference.fragment_;
    if (reference.authority_) {
        target.authority_ = reference.authority_;
        target.path_ = removeDotSegments(reference.path_);
        target.query_ = reference.query_;
        return target;
    }
    target.authority_ = base->authority_;
    if (reference.path_.empty()) {
        target.path_ = base->path_;
        target.query_ = reference.query_ ? reference.query_ : base->query_;
        return target;
    }
    target.query_ = reference.query_;
    if (reference.path_.front() == '/') {
        target.path_ = removeDotSegments(reference.path_);
        return target;
    }
    // Section 5.2.3, merge.
    std::string merged;
    if (base->authority_ && base->path_.empty()) {
        merged = "/" + reference.path_;
    } else {
        const std::size_t slash = base->path_.rfind('/');
        merged = (slash == std::string::npos ? std::string() : base->path_.substr(0, slash + 1)) + reference.path_;
    }
    target.path_ = removeDotSegments(merged);
    return target;
}

std::string URL::path() const { return PathUtilities::standardizedSeparators(percentDecoded(path_)); }

std::string URL::absoluteString() const {
    std::string text;
    if (!scheme_.empty()) {
        text = scheme_ + ":";
    }
    if (authority_) {
        text += "//" + *authority_;
    } else if (path_.starts_with("//")) {
        text += "/.";  // else the path's start would read back as an authority
    } else if (scheme_.empty() && path_.substr(0, path_.find('/')).find(':') != std::string::npos) {
        text += "./";  // else the first segment would read back as a scheme
    }
    text += path_;
    if (query_) {
        text += "?" + *query_;
    }
    if (fragment_) {
        text += "#" + *fragment_;
    }
    return text;
}

std::string URL::lastPathComponent() const { return PathUtilities::lastPathComponent(path()); }

std::string URL::pathExtension() const { return PathUtilities::pathExtension(path()); }

URL URL::URLByAppendingPathComponent(std::string_view component) const {
    bool isDirectory = component.ends_with('/');
    if (!isDirectory && isFileURL()) {
        std::error_code ignored;
        isDirectory =
            std::filesystem::is_directory(PathUtilities::stringByAppendingPathComponent(path(), component), ignored);
    }
    return URLByAppendingPathComponent(component, isDirectory);
}

URL URL::URLByAppendingPathComponent(std::string_view component, bool isDirectory) const {
    URL url = *this;
    std::string_view relative = component;
    while (relative.starts_with('/')) {
        relative.remove_prefix(1);
    }
    if (!url.path_.ends_with('/') && !relative.empty()) {
        url.path_ += '/';
    }
    url.path_ += percentEncodedPath(relative);
    if (isDirectory && !url.path_.ends_with('/')) {
        url.path_ += '/';
    }
    return url;
}

URL URL::URLByDeletingLastPathComponent() const {
    URL url = *this;
    std::string_view path = url.path_;
    if (path.ends_with('/') && path.size() > 1) {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    url.path_ = slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
    return url;
}

}  // namespace platform
