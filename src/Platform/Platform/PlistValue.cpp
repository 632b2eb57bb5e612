#include "Platform/PlistValue.h"

#include <charconv>
#include <cmath>
#include <ctime>

namespace platform {

namespace {

bool needsQuotes(std::string_view text) {
    if (text.empty()) {
        return true;
    }
    for (const char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '$' || c == '/' || c == ':' || c == '.' || c == '-';
        if (!plain) {
            return true;
        }
    }
    return false;
}

void appendString(std::string& out, std::string_view text) {
    if (!needsQuotes(text)) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out.push_back(c);
        }
    }
    out.push_back('"');
}

void appendIndent(std::string& out, int depth) { out.append(static_cast<std::size_t>(depth) * 4, ' '); }

void appendValue(std::string& out, const PlistValue& value, int depth);

void appendArray(std::string& out, const PlistArray& array, int depth) {
    out += "(\n";
    for (std::size_t i = 0; i < array.size(); ++i) {
        appendIndent(out, depth + 1);
        appendValue(out, array[i], depth + 1);
        out += i + 1 < array.size() ? ",\n" : "\n";
    }
    appendIndent(out, depth);
    out += ")";
}

void appendDictionary(std::string& out, const PlistDictionary& dictionary, int depth) {
    out += "{\n";
    for (const auto& [key, value] : dictionary) {
        appendIndent(out, depth + 1);
        appendString(out, key);
        out += " = ";
        appendValue(out, value, depth + 1);
        out += ";\n";
    }
    appendIndent(out, depth);
    out += "}";
}

void appendDate(std::string& out, Date date) {
    const auto seconds = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[40];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &utc);
    out += buffer;
}

void appendData(std::string& out, const PlistData& data) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('<');
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && i % 4 == 0) {
            out.push_back(' ');
        }
        out.push_back(kHex[data[i] >> 4]);
        out.push_back(kHex[data[i] & 0xF]);
    }
    out.push_back('>');
}

void appendValue(std::string& out, const PlistValue& value, int depth) {
    switch (value.type()) {
        case PlistValue::Type::String: appendString(out, *value.string()); break;
        case PlistValue::Type::Integer: out += std::to_string(*value.integer()); break;
        case PlistValue::Type::Real: {
            char buffer[64];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value.real());
            out.append(buffer, result.ptr);
            break;
        }
        case PlistValue::Type::Boolean: out += *value.boolean() ? "1" : "0"; break;
        case PlistValue::Type::Date: appendDate(out, *value.date()); break;
        case PlistValue::Type::Data: appendData(out, *value.data()); break;
        case PlistValue::Type::Array: appendArray(out, *value.array(), depth); break;
        case PlistValue::Type::Dictionary: appendDictionary(out, *value.dictionary(), depth); break;
    }
}

}  // namespace

std::string PlistValue::description() const {
    // A string describes itself as its own text; containers use the old-style syntax.
    if (const std::string* text = string()) {
        return *text;
    }
    std::string out;
    appendValue(out, *this, 0);
    return out;
}

std::string description(const PlistArray& array) {
    std::string out;
    appendArray(out, array, 0);
    return out;
}

std::string description(const PlistDictionary& dictionary) {
    std::string out;
    appendDictionary(out, dictionary, 0);
    return out;
}

}  // namespace platform
