#pragma once

#include <exception>
#include <string>
#include <utility>

namespace platform {

// The platform's base exception (the NSException stand-in): a name that says what kind of
// failure it is and a reason that says what happened. The few platform objects that raise
// instead of answering an Error (the file handle, the distributed lock) raise these.
class Exception : public std::exception {
public:
    Exception(std::string name, std::string reason) : name_(std::move(name)), reason_(std::move(reason)) {}

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    // What "%@" prints: the reason, as the platform describes an exception.
    const std::string& description() const { return reason_; }
    const char* what() const noexcept override { return reason_.c_str(); }

private:
    std::string name_;
    std::string reason_;
};

// The name of general failures, the distributed lock's included.
inline constexpr const char* kGenericException = "NSGenericException";

}  // namespace platform
