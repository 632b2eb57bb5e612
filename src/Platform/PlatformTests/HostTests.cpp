#include "Platform/Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using platform::Host;

TEST(Host, SystemAddressesHoldTheLoopbackOnceEach) {
    const auto addresses = Host::currentHostAddresses();
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
    EXPECT_EQ(std::set<std::string>(addresses.begin(), addresses.end()).size(), addresses.size());
    for (const std::string& address : addresses) {
        EXPECT_TRUE(address.find('.') != std::string::npos || address.find(':') != std::string::npos) << address;
    }
}

TEST(Host, AnAddressSourceReplacesTheSystemUntilRemoved) {
    EXPECT_FALSE(Host::exchangeAddressSource([] { return std::vector<std::string>{"10.0.0.2", "::1"}; }));
    EXPECT_EQ(Host::currentHostAddresses(), (std::vector<std::string>{"10.0.0.2", "::1"}));
    EXPECT_TRUE(Host::exchangeAddressSource(nullptr));
    EXPECT_NE(Host::currentHostAddresses(), (std::vector<std::string>{"10.0.0.2", "::1"}));
}

}  // namespace
