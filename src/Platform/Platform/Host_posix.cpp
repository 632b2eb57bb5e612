#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <string>
#include <vector>

namespace platform {

std::vector<std::string> systemHostAddresses() {
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr) {
            continue;
        }
        char text[INET6_ADDRSTRLEN + IF_NAMESIZE + 1] = {};
        std::string address;
        if (entry->ifa_addr->sa_family == AF_INET) {
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            ::inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
            address = text;
        } else if (entry->ifa_addr->sa_family == AF_INET6) {
            const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            ::inet_ntop(AF_INET6, &ipv6->sin6_addr, text, sizeof text);
            address = text;
            if (IN6_IS_ADDR_LINKLOCAL(&ipv6->sin6_addr) && entry->ifa_name != nullptr) {
                address += "%" + std::string(entry->ifa_name);
            }
        } else {
            continue;
        }
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(std::move(address));
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

}  // namespace platform
