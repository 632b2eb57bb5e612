#pragma once

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstddef>
#include <cstring>

namespace platform {

// A request to the kernel's routing table over netlink: the header, the route message and room
// for a few attributes after them.
struct RouteRequest {
    nlmsghdr header;
    rtmsg route;
    char attributes[64];

    // Appends an attribute after what the header's length covers, and counts it in.
    void appendAttribute(unsigned short type, const void* data, std::size_t length) {
        auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(this) + NLMSG_ALIGN(header.nlmsg_len));
        attribute->rta_type = type;
        attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(length));
        std::memcpy(RTA_DATA(attribute), data, length);
        header.nlmsg_len = NLMSG_ALIGN(header.nlmsg_len) + RTA_ALIGN(attribute->rta_len);
    }
};

}  // namespace platform
