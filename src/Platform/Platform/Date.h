#pragma once

#include <compare>

namespace platform {

// A point in time (the NSDate stand-in), in seconds since 1970-01-01 00:00:00 UTC.
class Date {
public:
    // Seconds between 1970 and the platform's reference date, 2001-01-01 00:00:00 UTC.
    static constexpr double kReferenceDateOffset = 978307200.0;

    constexpr Date() = default;
    static constexpr Date fromTimeIntervalSince1970(double seconds) { return Date(seconds); }
    static constexpr Date fromTimeIntervalSinceReferenceDate(double seconds) {
        return Date(seconds + kReferenceDateOffset);
    }

    constexpr double timeIntervalSince1970() const { return seconds_; }
    constexpr double timeIntervalSinceReferenceDate() const { return seconds_ - kReferenceDateOffset; }
    constexpr double timeIntervalSinceDate(Date other) const { return seconds_ - other.seconds_; }
    constexpr Date dateByAddingTimeInterval(double seconds) const { return Date(seconds_ + seconds); }

    // The check mistakes the defaulted comparison's own 0 for a null pointer.
    constexpr auto operator<=>(const Date&) const = default;  // NOLINT(modernize-use-nullptr)

private:
    constexpr explicit Date(double seconds) : seconds_(seconds) {}
    double seconds_ = 0.0;
};

}  // namespace platform
