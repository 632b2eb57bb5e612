#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/NetworkReachability.h"

// What a reachability target asks of the operating system, from the system's own file.
namespace platform::detail {

// The flags of an address from the routing table; nullopt when the table cannot be asked.
std::optional<std::uint32_t> systemAddressFlags(const SocketAddress& address);

// The flags of the first reachable address the name resolves to; 0 when it resolves to none.
std::optional<std::uint32_t> systemHostNameFlags(const std::string& hostName);

// A descriptor that polls readable after the system's routing, address or link state changed.
class NetworkChangeMonitor {
public:
    // Null when the system's change notifications cannot be opened.
    static std::unique_ptr<NetworkChangeMonitor> open();

    ~NetworkChangeMonitor();
    NetworkChangeMonitor(const NetworkChangeMonitor&) = delete;
    NetworkChangeMonitor& operator=(const NetworkChangeMonitor&) = delete;

    int descriptor() const { return descriptor_; }
    // Consumes every pending notice, so that the descriptor polls readable again only after
    // the next change.
    void drain();

private:
    explicit NetworkChangeMonitor(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
};

}  // namespace platform::detail
