#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Platform/Date.h"

namespace platform {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue, std::less<>>;
using PlistData = std::vector<std::uint8_t>;

// One property-list value (the NSString / NSNumber / NSDate / NSData / NSArray /
// NSDictionary stand-in). A default value is the empty string.
class PlistValue {
public:
    enum class Type { String, Integer, Real, Boolean, Date, Data, Array, Dictionary };

    PlistValue() = default;
    PlistValue(std::string value) : storage_(std::move(value)) {}
    PlistValue(std::string_view value) : storage_(std::string(value)) {}
    PlistValue(const char* value) : storage_(std::string(value)) {}
    PlistValue(std::int64_t value) : storage_(value) {}
    PlistValue(int value) : storage_(static_cast<std::int64_t>(value)) {}
    PlistValue(double value) : storage_(value) {}
    PlistValue(bool value) : storage_(value) {}
    PlistValue(Date value) : storage_(value) {}
    PlistValue(PlistData value) : storage_(std::move(value)) {}
    PlistValue(PlistArray value) : storage_(std::move(value)) {}
    PlistValue(PlistDictionary value) : storage_(std::move(value)) {}

    Type type() const { return static_cast<Type>(storage_.index()); }

    // Each accessor answers null when the value is of another type.
    const std::string* string() const { return std::get_if<std::string>(&storage_); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&storage_); }
    const double* real() const { return std::get_if<double>(&storage_); }
    const bool* boolean() const { return std::get_if<bool>(&storage_); }
    const Date* date() const { return std::get_if<Date>(&storage_); }
    const PlistData* data() const { return std::get_if<PlistData>(&storage_); }
    const PlistArray* array() const { return std::get_if<PlistArray>(&storage_); }
    PlistArray* array() { return std::get_if<PlistArray>(&storage_); }
    const PlistDictionary* dictionary() const { return std::get_if<PlistDictionary>(&storage_); }
    PlistDictionary* dictionary() { return std::get_if<PlistDictionary>(&storage_); }

    bool operator==(const PlistValue& other) const { return storage_ == other.storage_; }

    // The platform's description: old-style property-list text, as "%@" prints it.
    std::string description() const;

private:
    std::variant<std::string, std::int64_t, double, bool, Date, PlistData, PlistArray, PlistDictionary> storage_;
};

std::string description(const PlistArray& array);
std::string description(const PlistDictionary& dictionary);

}  // namespace platform
