#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "Platform/RunLoop.h"

namespace platform {

namespace detail {
class NetworkChangeMonitor;
}

// Reachability flag bits, as the system's reachability service reports them.
namespace NetworkReachabilityFlag {
inline constexpr std::uint32_t TransientConnection = 0x1;
inline constexpr std::uint32_t Reachable = 0x2;
inline constexpr std::uint32_t ConnectionRequired = 0x4;
inline constexpr std::uint32_t ConnectionOnTraffic = 0x8;
inline constexpr std::uint32_t InterventionRequired = 0x10;
inline constexpr std::uint32_t ConnectionOnDemand = 0x20;
inline constexpr std::uint32_t IsLocalAddress = 0x10000;
inline constexpr std::uint32_t IsDirect = 0x20000;
}  // namespace NetworkReachabilityFlag

// A socket address as a reachability target takes it, in the BSD sockaddr shape: the length of
// the structure, the address family (BSD numbers), the port and the address bytes in network
// order.
struct SocketAddress {
    static constexpr std::uint8_t kFamilyIPv4 = 2;
    static constexpr std::uint8_t kFamilyIPv6 = 30;
    static constexpr std::uint8_t kLengthIPv4 = 16;
    static constexpr std::uint8_t kLengthIPv6 = 28;

    std::uint8_t length = 0;
    std::uint8_t family = 0;
    std::uint16_t port = 0;                  // in host order; routes do not depend on it
    std::array<std::uint8_t, 16> address{};  // the first four bytes for IPv4
    std::uint32_t scopeId = 0;               // IPv6: the interface of a link-local address

    static SocketAddress ipv4(std::array<std::uint8_t, 4> address, std::uint16_t port = 0);
    static SocketAddress ipv6(const std::array<std::uint8_t, 16>& address, std::uint16_t port = 0);
};

// A reachability target (the SCNetworkReachability stand-in): a host name or an address whose
// flags tell whether this machine can send to it now, without sending anything.
//
// An address is reachable when the system's routing table holds a usable route to it; an
// address of this machine is also local and direct, one on an attached network direct. The
// zero address stands for the internet in general: reachable when a default route exists. A
// host name is resolved on every query and takes the flags of its first reachable address; a
// name that does not resolve is not reachable.
//
// A target scheduled on a run loop watches the system's routing and link changes and calls its
// callback on that loop's thread whenever its flags differ from those it last saw.
class NetworkReachability {
public:
    using Callback = std::function<void(std::uint32_t flags)>;
    // Answers the flags of every target in place of the system (nullopt: the flags cannot be
    // read), so that flag combinations the machine does not offer can be tested.
    using FlagsSource = std::function<std::optional<std::uint32_t>()>;

    // Null for an empty name, a name holding a zero byte or one longer than a host name can be.
    static std::unique_ptr<NetworkReachability> createWithName(std::string_view hostName);
    // Null unless the family is IPv4 or IPv6 with the length of its structure.
    static std::unique_ptr<NetworkReachability> createWithAddress(const SocketAddress& address);

    // Unschedules the target from the loop it is scheduled on; to be destroyed on that loop's
    // thread, like unscheduleFromRunLoop.
    ~NetworkReachability();
    NetworkReachability(const NetworkReachability&) = delete;
    NetworkReachability& operator=(const NetworkReachability&) = delete;

    // The current flags; nullopt when the system cannot tell (a host name may block while it
    // is resolved).
    std::optional<std::uint32_t> flags() const;

    // Replaces the change callback (empty: none). The callback may unschedule or destroy the
    // target.
    void setCallback(Callback callback);

    // Starts watching on `loop` in `mode`. False when the target is already scheduled or the
    // system's change notifications cannot be opened.
    bool scheduleWithRunLoop(const std::shared_ptr<RunLoop>& loop, std::string_view mode);
    // Stops watching; on the loop's thread. False when not scheduled on that loop in that mode.
    bool unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& loop, std::string_view mode);

    // Replaces the flags source (null: the system's) and answers the one replaced.
    static FlagsSource exchangeFlagsSource(FlagsSource source);

private:
    using Target = std::variant<std::string, SocketAddress>;

    explicit NetworkReachability(Target target);
    void handleChanges();

    Target target_;
    Callback callback_;
    std::unique_ptr<detail::NetworkChangeMonitor> monitor_;
    std::shared_ptr<RunLoop> loop_;
    std::string mode_;
    RunLoop::SourceId sourceId_ = 0;
    std::optional<std::uint32_t> lastFlags_;
};

}  // namespace platform
