#include "TestSupport/NetworkNamespace.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "Platform/RouteRequest.h"

namespace kvltest {

namespace {

// An ioctl on a throw-away IPv4 socket of the calling thread's namespace.
bool interfaceControl(unsigned long request, void* argument) {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return false;
    }
    const bool done = ::ioctl(socket, request, argument) == 0;
    ::close(socket);
    return done;
}

}  // namespace

std::optional<std::string> runInNewNetworkNamespace(const std::function<void()>& body) {
    std::optional<std::string> refusal;
    // A namespace taken by one thread stays with that thread and ends with it.
    std::thread([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            refusal = std::string("network namespaces are not allowed here: ") + std::strerror(errno);
            return;
        }
        body();
    }).join();
    return refusal;
}

bool setLoopbackUp(bool up) {
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    if (!interfaceControl(SIOCGIFFLAGS, &request)) {
        return false;
    }
    request.ifr_flags = static_cast<short>(up ? (request.ifr_flags | IFF_UP) : (request.ifr_flags & ~IFF_UP));
    return interfaceControl(SIOCSIFFLAGS, &request);
}

namespace {

// Adds or deletes an IPv4 default route out of the loopback, through the gateway when one is
// given. A gateway "on link" needs netlink: the routing ioctls cannot say so.
bool changeDefaultRoute(bool present, const char* gateway) {
    platform::RouteRequest request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = present ? RTM_NEWROUTE : RTM_DELROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK | (present ? NLM_F_CREATE | NLM_F_EXCL : 0);
    request.route.rtm_family = AF_INET;
    request.route.rtm_table = RT_TABLE_MAIN;
    request.route.rtm_protocol = RTPROT_BOOT;
    request.route.rtm_scope = gateway != nullptr ? RT_SCOPE_UNIVERSE : RT_SCOPE_LINK;
    request.route.rtm_type = RTN_UNICAST;
    if (gateway != nullptr) {
        request.route.rtm_flags = RTNH_F_ONLINK;
        in_addr address{};
        ::inet_pton(AF_INET, gateway, &address);
        request.appendAttribute(RTA_GATEWAY, &address, sizeof address);
    }
    const int loopback = static_cast<int>(::if_nametoindex("lo"));
    request.appendAttribute(RTA_OIF, &loopback, sizeof loopback);

    const int socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (socket < 0) {
        return false;
    }
    bool done = false;
    if (::send(socket, &request, request.header.nlmsg_len, 0) == static_cast<ssize_t>(request.header.nlmsg_len)) {
        struct {
            nlmsghdr header;
            nlmsgerr error;
        } answer{};
        done = ::recv(socket, &answer, sizeof answer, 0) >= static_cast<ssize_t>(sizeof answer) &&
               answer.header.nlmsg_type == NLMSG_ERROR && answer.error.error == 0;
    }
    ::close(socket);
    return done;
}

}  // namespace

bool setDefaultRouteThroughLoopback(bool present) { return changeDefaultRoute(present, nullptr); }

bool setDefaultRouteThroughGateway(bool present) { return changeDefaultRoute(present, "10.9.0.2"); }

}  // namespace kvltest
