#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// The machine as a network host (the NSHost stand-in).
struct Host {
    // Where the addresses come from: the system's interfaces unless a test sets another.
    using AddressSource = std::function<std::vector<std::string>()>;

    // The text forms of the current host's addresses, each once, in the order the system
    // lists its interfaces: IPv4 dotted ("127.0.0.1"), IPv6 as inet_ntop writes it ("::1"),
    // a link-local IPv6 address with its interface ("fe80::1%eth0"). Empty when the system
    // tells none.
    static std::vector<std::string> currentHostAddresses();
    // Replaces the source (null: the system's) and answers the one replaced.
    static AddressSource exchangeAddressSource(AddressSource source);
};

}  // namespace platform
