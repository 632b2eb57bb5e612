#include "Platform/PropertyListSerialization.h"

#include <plist/plist.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "Platform/FileManager.h"
#include "Platform/PropertyListShape.h"
#include "Platform/RegularFile.h"

namespace platform {

namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::int64_t kReadCorruptError = 3840;
constexpr std::int64_t kWriteInvalidError = 3852;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

// libplist hands out malloc'ed strings and buffers.
struct MallocFree {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using Malloced = std::unique_ptr<T, MallocFree>;

void fail(Error* error, std::int64_t code, std::string description) {
    if (error != nullptr) {
        *error = Error{std::string(kCocoaErrorDomain), code, std::move(description), nullptr};
    }
}

void failCorrupt(Error* error) {
    fail(error, kReadCorruptError, "The data couldn’t be read because it isn’t in the correct format.");
}

std::string nestedTooDeep(std::string_view what) {
    return std::string(what) + " is nested deeper than " + std::to_string(PropertyListShape::kMaximumDepth) +
           " levels.";
}

// libplist keeps a date as seconds since 2001 and answers it as whole seconds truncated
// toward zero with the fraction's magnitude in microseconds.
Date dateOfNode(plist_t node) {
    std::int32_t seconds = 0;
    std::int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    const double fraction = microseconds / 1e6;
    return Date::fromTimeIntervalSinceReferenceDate(seconds < 0 ? seconds - fraction : seconds + fraction);
}

// Recursive: the tree is no deeper than PropertyListShape lets through.
PlistValue valueOfNode(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            std::uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return PlistValue(value != 0);
        }
        case PLIST_UINT: {
            std::uint64_t value = 0;
            plist_get_uint_val(node, &value);
            return PlistValue(static_cast<std::int64_t>(value));
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return PlistValue(value);
        }
        case PLIST_STRING: {
            // By pointer and length: a binary string may hold a NUL, which libplist's
            // copying accessor refuses with an assertion.
            std::uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            return PlistValue(text != nullptr ? std::string(text, length) : std::string());
        }
        case PLIST_DATE: return PlistValue(dateOfNode(node));
        case PLIST_DATA: {
            std::uint64_t length = 0;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(plist_get_data_ptr(node, &length));
            return PlistValue(bytes != nullptr ? PlistData(bytes, bytes + length) : PlistData{});
        }
        case PLIST_ARRAY: {
            PlistArray array;
            const std::uint32_t count = plist_array_get_size(node);
            array.reserve(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                array.push_back(valueOfNode(plist_array_get_item(node, i)));
            }
            return PlistValue(std::move(array));
        }
        case PLIST_DICT: {
            PlistDictionary dictionary;
            plist_dict_iter iterator = nullptr;
            plist_dict_new_iter(node, &iterator);
            const Malloced<void> iteratorOwner(iterator);
            for (;;) {
                char* rawKey = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, iterator, &rawKey, &item);
                const Malloced<char> key(rawKey);
                if (item == nullptr) {
                    break;
                }
                dictionary.insert_or_assign(std::string(rawKey != nullptr ? rawKey : ""), valueOfNode(item));
            }
            return PlistValue(std::move(dictionary));
        }
        case PLIST_UID: {
            // A keyed archive's object reference, as its XML form spells it.
            std::uint64_t value = 0;
            plist_get_uid_val(node, &value);
            return PlistValue(PlistDictionary{{"CF$UID", PlistValue(static_cast<std::int64_t>(value))}});
        }
        case PLIST_KEY:  // only ever a dictionary's key, read with its item
        case PLIST_NONE: break;
    }
    return PlistValue();
}

// Builds libplist's tree of a value, `level` levels deep; null when the value cannot be
// represented, with the error told why.
PlistNode nodeOfValue(const PlistValue& value, std::size_t level, Error* error) {
    if (level > PropertyListShape::kMaximumDepth) {
        fail(error, kWriteInvalidError, nestedTooDeep("The property list"));
        return nullptr;
    }
    const auto invalid = [error] {
        fail(error, kWriteInvalidError, "Property list invalid for format");
        return nullptr;
    };
    switch (value.type()) {
        case PlistValue::Type::String: {
            const std::string& text = *value.string();
            if (text.find('\0') != std::string::npos) {
                return invalid();
            }
            return PlistNode(plist_new_string(text.c_str()));
        }
        case PlistValue::Type::Integer: return PlistNode(plist_new_uint(static_cast<std::uint64_t>(*value.integer())));
        case PlistValue::Type::Real: return PlistNode(plist_new_real(*value.real()));
        case PlistValue::Type::Boolean: return PlistNode(plist_new_bool(*value.boolean() ? 1 : 0));
        case PlistValue::Type::Date: {
            // XML holds whole seconds: round down, so a date never moves forward.
            const double seconds = std::floor(value.date()->timeIntervalSinceReferenceDate());
            if (!(seconds >= std::numeric_limits<std::int32_t>::min() &&
                  seconds <= std::numeric_limits<std::int32_t>::max())) {
                return invalid();
            }
            return PlistNode(plist_new_date(static_cast<std::int32_t>(seconds), 0));
        }
        case PlistValue::Type::Data: {
            const PlistData& data = *value.data();
            return PlistNode(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
        }
        case PlistValue::Type::Array: {
            PlistNode array(plist_new_array());
            for (const PlistValue& item : *value.array()) {
                PlistNode child = nodeOfValue(item, level + 1, error);
                if (!child) {
                    return nullptr;
                }
                plist_array_append_item(array.get(), child.release());
            }
            return array;
        }
        case PlistValue::Type::Dictionary: {
            PlistNode dictionary(plist_new_dict());
            for (const auto& [key, item] : *value.dictionary()) {
                if (key.find('\0') != std::string::npos) {
                    return invalid();
                }
                PlistNode child = nodeOfValue(item, level + 1, error);
                if (!child) {
                    return nullptr;
                }
                plist_dict_set_item(dictionary.get(), key.c_str(), child.release());
            }
            return dictionary;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<PlistValue> PropertyListSerialization::propertyListWithData(std::string_view bytes, Error* error,
                                                                          Format* format) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        failCorrupt(error);
        return std::nullopt;
    }
    const bool binary = bytes.starts_with(kBinaryMagic);
    switch (binary ? PropertyListShape::ofBinary(bytes) : PropertyListShape::ofXML(bytes)) {
        case PropertyListShape::Verdict::Readable: break;
        case PropertyListShape::Verdict::Malformed: failCorrupt(error); return std::nullopt;
        case PropertyListShape::Verdict::TooDeep:
            fail(error, kReadCorruptError, nestedTooDeep("The data couldn’t be read because it"));
            return std::nullopt;
        case PropertyListShape::Verdict::TooExpanded:
            fail(error, kReadCorruptError,
                 "The data couldn’t be read because its shared objects expand beyond " +
                     std::to_string(PropertyListShape::kMaximumExpandedSize >> 20) + " MiB.");
            return std::nullopt;
    }
    plist_t raw = nullptr;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    if (binary) {
        plist_from_bin(bytes.data(), length, &raw);
    } else {
        plist_from_xml(bytes.data(), length, &raw);
    }
    const PlistNode root(raw);
    if (!root) {
        failCorrupt(error);
        return std::nullopt;
    }
    if (format != nullptr) {
        *format = binary ? Format::Binary : Format::XML;
    }
    return valueOfNode(root.get());
}

std::optional<PlistValue> PropertyListSerialization::propertyListWithContentsOfFile(const std::string& path,
                                                                                    Error* error,
                                                                                    std::uint64_t maximumSize) {
    const std::optional<std::string> bytes = readFile(path, maximumSize, error);
    if (!bytes) {
        return std::nullopt;
    }
    return propertyListWithData(*bytes, error);
}

std::optional<std::string> PropertyListSerialization::readFile(const std::string& path, std::uint64_t maximumSize,
                                                               Error* error) {
    Error failure;
    std::optional<std::string> bytes = RegularFile::read(path, maximumSize, &failure);
    if (!bytes && failure.underlyingError && failure.underlyingError->code == ENOTDIR) {
        const auto underlying = failure.underlyingError;
        failure = FileManager::errorFor(FileOperation::Read, ENOENT, path);
        failure.underlyingError = underlying;
    }
    if (!bytes && error != nullptr) {
        *error = std::move(failure);
    }
    return bytes;
}

std::optional<PlistDictionary> PropertyListSerialization::dictionaryWithContentsOfFile(const std::string& path,
                                                                                       std::uint64_t maximumSize) {
    std::optional<PlistValue> value = propertyListWithContentsOfFile(path, nullptr, maximumSize);
    if (!value || value->dictionary() == nullptr) {
        return std::nullopt;
    }
    return std::move(*value->dictionary());
}

std::optional<PlistArray> PropertyListSerialization::arrayWithContentsOfFile(const std::string& path,
                                                                             std::uint64_t maximumSize) {
    std::optional<PlistValue> value = propertyListWithContentsOfFile(path, nullptr, maximumSize);
    if (!value || value->array() == nullptr) {
        return std::nullopt;
    }
    return std::move(*value->array());
}

std::optional<std::string> PropertyListSerialization::xmlDataWithPropertyList(const PlistValue& value, Error* error) {
    const PlistNode root = nodeOfValue(value, 1, error);
    if (!root) {
        return std::nullopt;
    }
    char* raw = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &raw, &length);
    const Malloced<char> xml(raw);
    if (raw == nullptr) {
        fail(error, kWriteInvalidError, "Property list invalid for format");
        return std::nullopt;
    }
    return std::string(raw, length);
}

bool PropertyListSerialization::writeToFile(const PlistValue& value, const std::string& path, Error* error) {
    const std::optional<std::string> xml = xmlDataWithPropertyList(value, error);
    return xml && writeFileAtomically(path, *xml, error);
}

}  // namespace platform
