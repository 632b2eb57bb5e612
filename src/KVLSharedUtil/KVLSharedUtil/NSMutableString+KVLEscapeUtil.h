#pragma once

#include <optional>
#include <string>

// Composing XML, HTML or URL-query text: each operation appends to the text under
// construction (the receiver, passed first) or escapes its argument in place.
//
// Escaping replaces, in this order, & with "&amp;", < with "&lt;", > with "&gt;", ' with
// "&apos;" and " with "&quot;"; HTML escaping also replaces the space with "&nbsp;". The
// ampersand comes first so that the ampersands of the entities are not escaped again; the
// result equals applying the entries one after another, made in one pass over the text.
struct NSMutableStringKVLEscapeUtil {
    // Appends exactly "<?xml version="1.0" encoding="UTF-16"?>" (no line break).
    static void appendXMLDeclaration(std::string& self);

    // Escapes text in place with the XML entries; the receiver is left as it is.
    static void escapeXML(std::string& self, std::string& text);
    // Appends text escaped with the XML entries; a nil text appends nothing.
    static void escapeXMLAndAppend(std::string& self, const std::optional<std::string>& text);

    // Escapes text in place with the HTML entries; the receiver is left as it is.
    static void escapeHTML(std::string& self, std::string& text);
    // Appends text escaped with the HTML entries; a nil text appends nothing.
    static void escapeHTMLAndAppend(std::string& self, const std::optional<std::string>& text);

    // Appends text escaped with the HTML entries, except that each space becomes replacement
    // (inserted as it is) rather than "&nbsp;"; a nil replacement keeps "&nbsp;". A nil text
    // appends nothing.
    static void escapeHTMLAndReplace(std::string& self, const std::optional<std::string>& text,
                                     const std::optional<std::string>& replacement);

    // Appends text with every byte other than an ASCII letter or digit percent-encoded as
    // "%XX" (upper-case hex): the punctuation, the space, control characters and each UTF-8
    // byte of a non-ASCII character. A nil text appends nothing.
    static void encodeURLParamAppend(std::string& self, const std::optional<std::string>& text);

    // Appends "<tag>", the value escaped as by escapeXMLAndAppend, then "</tag>". The tag name
    // goes in unescaped; a nil value gives an empty element.
    static void appendXMLTag(std::string& self, const std::string& tagName, const std::optional<std::string>& value);
};
