// The escaping operations against a plain reference: each character replaced by its entry,
// one at a time, through the public operations and through each kernel this machine runs. The
// input is split into the receiver's text, the text to escape and the replacement for spaces.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "KVLSharedUtil/KVLEscaper.h"
#include "KVLSharedUtil/NSMutableString+KVLEscapeUtil.h"

using Escape = NSMutableStringKVLEscapeUtil;

namespace {

std::string referenceEscape(const std::string& text, bool html, const std::string& space) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\'': out += "&apos;"; break;
            case '"': out += "&quot;"; break;
            case ' ': out += html ? space : " "; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string referenceURLEncode(const std::string& text) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) {
            out += c;
        } else {
            out += '%';
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0x0F];
        }
    }
    return out;
}

void expect(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string receiver = input.ConsumeRandomLengthString(32);
    const std::string replacement = input.ConsumeRandomLengthString(24);
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::string xml = referenceEscape(text, false, "");
    const std::string html = referenceEscape(text, true, "&nbsp;");

    std::string escaped = text;
    std::string self = receiver;
    Escape::escapeXML(self, escaped);
    expect(escaped == xml && self == receiver);
    escaped = text;
    Escape::escapeHTML(self, escaped);
    expect(escaped == html && self == receiver);

    self = receiver;
    Escape::escapeXMLAndAppend(self, text);
    expect(self == receiver + xml);
    self = receiver;
    Escape::escapeHTMLAndAppend(self, text);
    expect(self == receiver + html);
    self = receiver;
    Escape::escapeHTMLAndReplace(self, text, replacement);
    expect(self == receiver + referenceEscape(text, true, replacement));
    self = receiver;
    Escape::escapeHTMLAndReplace(self, text, std::nullopt);
    expect(self == receiver + html);
    self = receiver;
    Escape::encodeURLParamAppend(self, text);
    expect(self == receiver + referenceURLEncode(text));
    self = receiver;
    Escape::appendXMLTag(self, replacement, text);
    expect(self == receiver + "<" + replacement + ">" + xml + "</" + replacement + ">");

    for (const auto kernel : {KVLEscaper::Kernel::Portable, KVLEscaper::Kernel::AVX512}) {
        if (KVLEscaper::runs(kernel)) {
            self = receiver;
            KVLEscaper::append(self, text, KVLEscaper::Entries::XML, replacement, kernel);
            expect(self == receiver + xml);
            self = receiver;
            KVLEscaper::append(self, text, KVLEscaper::Entries::HTML, replacement, kernel);
            expect(self == receiver + referenceEscape(text, true, replacement));
        }
    }
    return 0;
}
