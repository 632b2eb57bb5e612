#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Platform/NetworkReachability.h"

// The name of the notification posted to the default notification center on every change of
// a started instance's reachability; its object is the instance.
inline constexpr std::string_view kReachabilityChangedNotification = "kNetworkReachabilityChangedNotification";

// Whether a target can be reached.
enum class NetworkStatus : std::int64_t { NotReachable = 0, Reachable = 1 };

// Tells whether a host, an address or the network in general can be reached, and announces
// changes while the run loop of the thread that started the notifier runs. An instance owns
// its reachability target; one without a target answers not reachable and no connection
// required. Notifications are started, stopped and delivered on one thread, and the instance
// is destroyed on that thread too.
class Reachability {
public:
    // An instance without a target.
    Reachability() = default;
    // Runs stopNotifier, then releases the target.
    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    // Takes a target for the host name. When none can be made (an empty or malformed name) the
    // instance is left as it was. A name that does not resolve makes a target that answers not
    // reachable.
    void reachabilityWithHostName(const std::string& hostName);
    // Null when no target can be made for the address.
    static std::shared_ptr<Reachability> reachabilityWithAddress(const platform::SocketAddress& address);
    // The zero IPv4 address (length 16, family 2, port 0, 0.0.0.0): the internet in general.
    static std::shared_ptr<Reachability> reachabilityForInternetConnection();

    // Posts kReachabilityChangedNotification for every change while the current thread's run
    // loop runs in its default mode. False without a target or when watching cannot start.
    bool startNotifier();
    // Stops the notifications started on the current thread.
    void stopNotifier();

    // Writes the flags' debug line to the console and answers Reachable when the reachable bit
    // is set, whatever the other bits say.
    NetworkStatus networkStatusForFlags(std::uint32_t flags) const;
    // Whether the target's current flags require a connection first; false when they cannot
    // be read.
    bool connectionRequired() const;
    // networkStatusForFlags of the target's current flags; NotReachable when they cannot be read.
    NetworkStatus currentReachabilityStatus() const;

private:
    std::unique_ptr<platform::NetworkReachability> _reachabilityRef;
};
