#include "KVLSharedUtil/NSMutableString+KVLEscapeUtil.h"

#include "KVLSharedUtil/KVLEscaper.h"

namespace {

constexpr std::string_view kXMLDeclaration = R"(<?xml version="1.0" encoding="UTF-16"?>)";
constexpr std::string_view kNonBreakingSpace = "&nbsp;";

using Entries = KVLEscaper::Entries;

void escapeInPlace(std::string& text, Entries entries) {
    std::string escaped;
    KVLEscaper::append(escaped, text, entries, kNonBreakingSpace);
    text = std::move(escaped);
}

bool isASCIIAlphanumeric(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

}  // namespace

void NSMutableStringKVLEscapeUtil::appendXMLDeclaration(std::string& self) { self.append(kXMLDeclaration); }

void NSMutableStringKVLEscapeUtil::escapeXML(std::string&, std::string& text) { escapeInPlace(text, Entries::XML); }

void NSMutableStringKVLEscapeUtil::escapeXMLAndAppend(std::string& self, const std::optional<std::string>& text) {
    if (text) {
        KVLEscaper::append(self, *text, Entries::XML, kNonBreakingSpace);
    }
}

void NSMutableStringKVLEscapeUtil::escapeHTML(std::string&, std::string& text) { escapeInPlace(text, Entries::HTML); }

void NSMutableStringKVLEscapeUtil::escapeHTMLAndAppend(std::string& self, const std::optional<std::string>& text) {
    if (text) {
        KVLEscaper::append(self, *text, Entries::HTML, kNonBreakingSpace);
    }
}

void NSMutableStringKVLEscapeUtil::escapeHTMLAndReplace(std::string& self, const std::optional<std::string>& text,
                                                        const std::optional<std::string>& replacement) {
    if (text) {
        KVLEscaper::append(self, *text, Entries::HTML,
                           replacement ? std::string_view(*replacement) : kNonBreakingSpace);
    }
}

void NSMutableStringKVLEscapeUtil::encodeURLParamAppend(std::string& self, const std::optional<std::string>& text) {
    if (!text) {
        return;
    }
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    self.reserve(self.size() + text->size() * 3);
    for (const char character : *text) {
        const auto byte = static_cast<unsigned char>(character);
        if (isASCIIAlphanumeric(byte)) {
            self.push_back(character);
        } else {
            const char encoded[3] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
            self.append(encoded, sizeof(encoded));
        }
    }
}

void NSMutableStringKVLEscapeUtil::appendXMLTag(std::string& self, const std::string& tagName,
                                                const std::optional<std::string>& value) {
    self.append("<").append(tagName).append(">");
    escapeXMLAndAppend(self, value);
    self.append("</").append(tagName).append(">");
}
