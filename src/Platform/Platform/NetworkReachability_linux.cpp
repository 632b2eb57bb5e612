#include <libmnl/libmnl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "Platform/NetworkReachabilitySystem.h"
#include "Platform/RouteRequest.h"

namespace platform::detail {

namespace {

class RouteSocket {
public:
    // A socket to the kernel's routing table, listening to the given notice groups.
    explicit RouteSocket(std::uint32_t groups, int typeFlags = 0)
        : descriptor_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | typeFlags, NETLINK_ROUTE)) {
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        local.nl_groups = groups;
        if (descriptor_ >= 0 && ::bind(descriptor_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            ::close(descriptor_);
            descriptor_ = -1;
        }
    }
    ~RouteSocket() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    RouteSocket(const RouteSocket&) = delete;
    RouteSocket& operator=(const RouteSocket&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    int release() { return std::exchange(descriptor_, -1); }
    int descriptor() const { return descriptor_; }

private:
    int descriptor_;
};

RouteRequest makeRouteRequest(std::uint8_t family, std::uint16_t flags) {
    RouteRequest request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST | flags;
    request.route.rtm_family = family;
    return request;
}

// A number per request, so that an answer to an earlier request is never taken for this one.
std::uint32_t nextSequenceNumber() {
    static std::atomic<std::uint32_t> last{static_cast<std::uint32_t>(::time(nullptr))};
    return ++last;
}

// What one exchange with the kernel came to: its error number (0 for none), and whether a dump
// was changed while the kernel was writing it, so that the answer is incomplete.
struct RoutingAnswer {
    const std::function<void(const nlmsghdr&)>* onRoute = nullptr;
    int kernelError = 0;
    bool interrupted = false;
};

int onKernelError(const nlmsghdr* message, void* data) {
    if (message->nlmsg_len < mnl_nlmsg_size(sizeof(nlmsgerr))) {
        errno = EBADMSG;
        return MNL_CB_ERROR;
    }
    static_cast<RoutingAnswer*>(data)->kernelError =
        -static_cast<const nlmsgerr*>(mnl_nlmsg_get_payload(message))->error;
    return MNL_CB_STOP;
}

int onDumpDone(const nlmsghdr* message, void* data) {
    if ((message->nlmsg_flags & NLM_F_DUMP_INTR) != 0) {
        static_cast<RoutingAnswer*>(data)->interrupted = true;
    }
    return MNL_CB_STOP;
}

int onOverrun(const nlmsghdr* /*message*/, void* /*data*/) {
    errno = ENOBUFS;
    return MNL_CB_ERROR;
}

int onRouteMessage(const nlmsghdr* message, void* data) {
    auto& answer = *static_cast<RoutingAnswer*>(data);
    if ((message->nlmsg_flags & NLM_F_DUMP_INTR) != 0) {
        answer.interrupted = true;
    }
    if (message->nlmsg_type == RTM_NEWROUTE) {
        (*answer.onRoute)(*message);
    }
    // A single answer (not part of a dump) has no closing message.
    return (message->nlmsg_flags & NLM_F_MULTI) != 0 ? MNL_CB_OK : MNL_CB_STOP;
}

// One request and its whole answer. The library checks that every message answers this
// request (sequence number and port) and comes from the kernel.
std::optional<RoutingAnswer> exchange(RouteRequest request, const std::function<void(const nlmsghdr&)>& onRoute) {
    const std::unique_ptr<mnl_socket, int (*)(mnl_socket*)> socket(mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC),
                                                                   mnl_socket_close);
    if (!socket || mnl_socket_bind(socket.get(), 0, MNL_SOCKET_AUTOPID) != 0) {
        return std::nullopt;
    }
    request.header.nlmsg_seq = nextSequenceNumber();
    if (mnl_socket_sendto(socket.get(), &request, request.header.nlmsg_len) < 0) {
        return std::nullopt;
    }
    RoutingAnswer answer;
    answer.onRoute = &onRoute;
    mnl_cb_t controls[NLMSG_MIN_TYPE] = {};
    // With a table of its own, the library leaves every control message to it.
    controls[NLMSG_ERROR] = onKernelError;
    controls[NLMSG_DONE] = onDumpDone;
    controls[NLMSG_OVERRUN] = onOverrun;
    // Large enough for a batch of a dump; the allocation is aligned for any header.
    std::vector<char> buffer(MNL_SOCKET_BUFFER_SIZE);
    for (;;) {
        const ssize_t received = mnl_socket_recvfrom(socket.get(), buffer.data(), buffer.size());
        if (received < 0 && errno == EINTR) {
            continue;
        }
        if (received <= 0) {
            return std::nullopt;
        }
        const int run =
            mnl_cb_run2(buffer.data(), static_cast<std::size_t>(received), request.header.nlmsg_seq,
                        mnl_socket_get_portid(socket.get()), onRouteMessage, &answer, controls, NLMSG_MIN_TYPE);
        if (run == MNL_CB_ERROR) {
            return std::nullopt;
        }
        if (run == MNL_CB_STOP) {
            return answer;
        }
    }
}

// Sends `request` and hands every route of the answer to `onRoute`. Answers nullopt when the
// kernel cannot be asked, otherwise 0 or the error number the kernel answered with. A dump that
// the kernel reports as interrupted by a change is asked again, a few times at most.
std::optional<int> askRoutingTable(const RouteRequest& request, const std::function<void(const nlmsghdr&)>& onRoute) {
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        std::vector<std::vector<char>> messages;
        const auto answer = exchange(request, [&](const nlmsghdr& message) {
            messages.emplace_back(reinterpret_cast<const char*>(&message),
                                  reinterpret_cast<const char*>(&message) + message.nlmsg_len);
        });
        if (!answer) {
            return std::nullopt;
        }
        if (answer->interrupted && attempt < kAttempts) {
            continue;
        }
        if (answer->interrupted) {
            return std::nullopt;
        }
        for (const auto& message : messages) {
            onRoute(*reinterpret_cast<const nlmsghdr*>(message.data()));
        }
        return answer->kernelError;
    }
}

struct Route {
    unsigned type = RTN_UNSPEC;
    unsigned flags = 0;
    unsigned destinationLength = 0;
    std::uint32_t table = RT_TABLE_UNSPEC;
    bool viaGateway = false;
};

Route readRoute(const nlmsghdr& message) {
    const auto* header = static_cast<const rtmsg*>(NLMSG_DATA(&message));
    Route route;
    route.type = header->rtm_type;
    route.flags = header->rtm_flags;
    route.destinationLength = header->rtm_dst_len;
    route.table = header->rtm_table;
    int remaining = static_cast<int>(RTM_PAYLOAD(&message));
    for (const rtattr* attribute = RTM_RTA(header); RTA_OK(attribute, remaining);
         attribute = RTA_NEXT(attribute, remaining)) {
        switch (attribute->rta_type) {
            case RTA_GATEWAY:
            case RTA_VIA:
            case RTA_MULTIPATH: route.viaGateway = true; break;
            case RTA_TABLE: std::memcpy(&route.table, RTA_DATA(attribute), sizeof route.table); break;
            default: break;
        }
    }
    return route;
}

std::uint32_t flagsOfRoute(const Route& route) {
    if ((route.flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)) != 0) {
        return 0;
    }
    switch (route.type) {
        case RTN_LOCAL:
            return NetworkReachabilityFlag::Reachable | NetworkReachabilityFlag::IsLocalAddress |
                   NetworkReachabilityFlag::IsDirect;
        case RTN_UNICAST:
            return NetworkReachabilityFlag::Reachable | (route.viaGateway ? 0 : NetworkReachabilityFlag::IsDirect);
        case RTN_BROADCAST:
        case RTN_MULTICAST:
        case RTN_ANYCAST: return NetworkReachabilityFlag::Reachable | NetworkReachabilityFlag::IsDirect;
        default: return 0;
    }
}

// The internet in general: the flags of the first usable default route of the family.
std::optional<std::uint32_t> defaultRouteFlags(std::uint8_t family) {
    std::uint32_t flags = 0;
    const auto answer = askRoutingTable(makeRouteRequest(family, NLM_F_DUMP), [&](const nlmsghdr& message) {
        const Route route = readRoute(message);
        if (flags == 0 && route.destinationLength == 0 && route.table != RT_TABLE_LOCAL) {
            flags = flagsOfRoute(route);
        }
    });
    if (!answer) {
        return std::nullopt;
    }
    return flags;
}

std::optional<std::uint32_t> routeFlags(const SocketAddress& address, std::uint8_t family, std::size_t addressLength) {
    RouteRequest request = makeRouteRequest(family, 0);
    request.route.rtm_dst_len = static_cast<unsigned char>(addressLength * 8);
    request.appendAttribute(RTA_DST, address.address.data(), addressLength);
    if (address.scopeId != 0) {
        request.appendAttribute(RTA_OIF, &address.scopeId, sizeof address.scopeId);
    }
    std::uint32_t flags = 0;
    const auto answer =
        askRoutingTable(request, [&](const nlmsghdr& message) { flags = flagsOfRoute(readRoute(message)); });
    if (!answer) {
        return std::nullopt;
    }
    // The kernel refuses an address it has no route to (ENETUNREACH, EHOSTUNREACH, ...).
    return *answer == 0 ? flags : 0;
}

std::optional<SocketAddress> socketAddressOf(const addrinfo& info) {
    if (info.ai_family == AF_INET) {
        sockaddr_in system{};
        std::memcpy(&system, info.ai_addr, sizeof system);
        std::array<std::uint8_t, 4> bytes{};
        std::memcpy(bytes.data(), &system.sin_addr, bytes.size());
        return SocketAddress::ipv4(bytes, ntohs(system.sin_port));
    }
    if (info.ai_family == AF_INET6) {
        sockaddr_in6 system{};
        std::memcpy(&system, info.ai_addr, sizeof system);
        std::array<std::uint8_t, 16> bytes{};
        std::memcpy(bytes.data(), &system.sin6_addr, bytes.size());
        SocketAddress address = SocketAddress::ipv6(bytes, ntohs(system.sin6_port));
        address.scopeId = system.sin6_scope_id;
        return address;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> systemAddressFlags(const SocketAddress& address) {
    const bool ipv4 = address.family == SocketAddress::kFamilyIPv4;
    const std::uint8_t family = ipv4 ? AF_INET : AF_INET6;
    const std::size_t length = ipv4 ? 4 : 16;
    const auto bytes = std::span(address.address).first(length);
    if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; })) {
        return defaultRouteFlags(family);
    }
    return routeFlags(address, family, length);
}

std::optional<std::uint32_t> systemHostNameFlags(const std::string& hostName) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0) {
        return 0;
    }
    std::optional<std::uint32_t> flags = 0;
    for (const addrinfo* info = found; info != nullptr; info = info->ai_next) {
        const auto address = socketAddressOf(*info);
        if (!address) {
            continue;
        }
        const auto addressFlags = systemAddressFlags(*address);
        if (addressFlags && (*addressFlags & NetworkReachabilityFlag::Reachable) != 0) {
            flags = addressFlags;
            break;
        }
        if (!addressFlags) {
            flags = std::nullopt;
        }
    }
    ::freeaddrinfo(found);
    return flags;
}

std::unique_ptr<NetworkChangeMonitor> NetworkChangeMonitor::open() {
    RouteSocket socket(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE,
                       SOCK_NONBLOCK);
    if (!socket.isOpen()) {
        return nullptr;
    }
    return std::unique_ptr<NetworkChangeMonitor>(new NetworkChangeMonitor(socket.release()));
}

NetworkChangeMonitor::~NetworkChangeMonitor() { ::close(descriptor_); }

void NetworkChangeMonitor::drain() {
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        const ssize_t received = ::recv(descriptor_, buffer, sizeof buffer, 0);
        // ENOBUFS: notices were lost, which costs nothing, since the target reads its flags
        // afresh after every batch.
        if (received > 0 || (received < 0 && (errno == EINTR || errno == ENOBUFS))) {
            continue;
        }
        return;
    }
}

}  // namespace platform::detail
