#include "TestSupport/NetworkNamespace.h"

#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

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

bool setDefaultRouteThroughLoopback(bool present) {
    rtentry route{};
    char device[] = "lo";
    auto* destination = reinterpret_cast<sockaddr_in*>(&route.rt_dst);
    destination->sin_family = AF_INET;
    auto* mask = reinterpret_cast<sockaddr_in*>(&route.rt_genmask);
    mask->sin_family = AF_INET;
    route.rt_flags = RTF_UP;
    route.rt_dev = device;
    return interfaceControl(present ? SIOCADDRT : SIOCDELRT, &route);
}

}  // namespace kvltest
