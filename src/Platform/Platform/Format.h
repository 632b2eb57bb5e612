#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform {

// A value that can stand behind "%@": anything with a description() member, or with a
// free description(const T&) found by argument-dependent lookup.
template <typename T>
concept MemberDescribable = requires(const T& value) {
    { value.description() } -> std::convertible_to<std::string>;
};
template <typename T>
concept FreeDescribable = !MemberDescribable<T> && requires(const T& value) {
    { description(value) } -> std::convertible_to<std::string>;
};
template <typename T>
concept Describable = MemberDescribable<T> || FreeDescribable<T>;

// One argument of a format. It borrows what it refers to (strings, objects), so it must not
// outlive the call that made it, exactly like a started C argument list.
class FormatArg {
public:
    enum class Kind { Null, Signed, Unsigned, Real, String, Object, Pointer };

    FormatArg() = default;
    FormatArg(std::nullptr_t) {}
    FormatArg(bool value) : kind_(Kind::Signed), signed_(value ? 1 : 0) {}
    FormatArg(char value) : kind_(Kind::Signed), signed_(value) {}
    template <std::signed_integral T>
    FormatArg(T value) : kind_(Kind::Signed), signed_(static_cast<std::int64_t>(value)) {}
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool>) FormatArg(T value)
        : kind_(Kind::Unsigned), unsigned_(static_cast<std::uint64_t>(value)) {}
    template <typename T>
    requires std::is_enum_v<T> FormatArg(T value) : FormatArg(static_cast<std::underlying_type_t<T>>(value)) {}
    FormatArg(double value) : kind_(Kind::Real), real_(value) {}
    FormatArg(float value) : kind_(Kind::Real), real_(value) {}
    FormatArg(const char* text) {
        if (text != nullptr) {
            kind_ = Kind::String;
            text_ = text;
        }
    }
    FormatArg(char* text) : FormatArg(static_cast<const char*>(text)) {}
    FormatArg(std::string_view text) : kind_(Kind::String), text_(text) {}
    FormatArg(const std::string& text) : kind_(Kind::String), text_(text) {}
    FormatArg(const std::optional<std::string>& text) {
        if (text) {
            kind_ = Kind::String;
            text_ = *text;
        }
    }
    template <Describable T>
    FormatArg(const T& object) : kind_(Kind::Object), pointer_(&object), describe_(&describeObject<T>) {}
    template <Describable T>
    FormatArg(const T* object) {
        if (object != nullptr) {
            *this = FormatArg(*object);
        }
    }
    template <Describable T>
    FormatArg(T* object) : FormatArg(static_cast<const T*>(object)) {}
    template <Describable T>
    FormatArg(const std::shared_ptr<T>& object) : FormatArg(static_cast<const T*>(object.get())) {}
    template <Describable T>
    FormatArg(const std::unique_ptr<T>& object) : FormatArg(static_cast<const T*>(object.get())) {}
    template <Describable T>
    FormatArg(const std::optional<T>& object) {
        if (object) {
            *this = FormatArg(*object);
        }
    }
    FormatArg(const void* pointer) {
        if (pointer != nullptr) {
            kind_ = Kind::Pointer;
            pointer_ = pointer;
        }
    }

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    std::int64_t asSigned() const;
    std::uint64_t asUnsigned() const;
    double asReal() const;
    // The text that "%@" prints: a string as it is, an object's description, a number's
    // decimal text, and "(null)" for a null argument.
    std::string describe() const;
    // The text that "%s" prints: a string, or "(null)".
    std::string_view asCString() const;

private:
    template <typename T>
    static std::string describeObject(const void* object) {
        const T& value = *static_cast<const T*>(object);
        if constexpr (MemberDescribable<T>) {
            return value.description();
        } else {
            return description(value);
        }
    }

    Kind kind_ = Kind::Null;
    union {
        std::int64_t signed_;
        std::uint64_t unsigned_;
        double real_;
        const void* pointer_ = nullptr;  // a pointer, or the described object
    };
    std::string_view text_;
    std::string (*describe_)(const void*) = nullptr;
};

// A started argument list: a view over packed arguments. Cheap to copy; each copy reads the
// same arguments from the start, so a list can be formatted more than once.
using FormatArgs = std::span<const FormatArg>;

// Packs a call's arguments; lives until the end of the full expression that made it.
template <std::size_t N>
class FormatArgPack {
public:
    template <typename... Args>
    explicit FormatArgPack(const Args&... args) : args_{FormatArg(args)...} {}
    operator FormatArgs() const { return FormatArgs(args_.data(), args_.size()); }

private:
    std::array<FormatArg, N> args_;
};
template <typename... Args>
FormatArgPack(const Args&...) -> FormatArgPack<sizeof...(Args)>;

// The platform's string formatting: printf syntax (flags, width, precision, length
// modifiers, "*"), "%@" for an object's description, positional arguments ("%1$@", "%2$d").
// A placeholder with no argument behind it prints as a null argument ("(null)", 0); it never
// reads past the list.
std::string formatStringArgs(std::string_view format, FormatArgs args);
// The same text appended to out, so that a caller that keeps its buffer formats without
// allocating.
void appendFormatArgs(std::string& out, std::string_view format, FormatArgs args);
// The text as one word of a POSIX shell command line: single-quoted, a quote inside as '\''.
std::string shellQuoted(std::string_view text);

template <typename... Args>
std::string formatString(std::string_view format, const Args&... args) {
    return formatStringArgs(format, FormatArgPack(args...));
}

}  // namespace platform
