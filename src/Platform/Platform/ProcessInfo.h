#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// What the process knows about itself and its machine (the NSProcessInfo stand-in).
struct ProcessInfo {
    static int processIdentifier();
    // The calling thread's id as the system knows it (gettid), as log lines show it.
    static std::uint64_t systemThreadID();
    // The last component of the path the process was started by.
    static std::string processName();

    // The process's environment as it is now.
    static std::map<std::string, std::string> environment();
    // One variable; null when it is not set (a variable set to "" is "").
    static std::optional<std::string> environmentValue(std::string_view name);

    // The machine's host name; "" when the system has none.
    static std::string hostName();
    // The platform's name of the system: "NSMACHOperatingSystem" for the Mach-based one
    // (kernel "Darwin"), otherwise the kernel's own name, such as "Linux"; "" when the system
    // does not tell.
    static std::string operatingSystemName();
    // Stands in for the kernel's name (tests); null restores the system's.
    static void setKernelNameForTesting(std::optional<std::string> name);
    // "Version <release> (Build <version>)" from the system's release and version texts, in
    // the platform's shape; "" when the system does not tell.
    static std::string operatingSystemVersionString();
};

}  // namespace platform
