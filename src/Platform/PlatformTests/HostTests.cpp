#include "Platform/Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

TEST(Host, SystemAddressesHoldTheLoopbackOnceEach) {
    const auto addresses = platform::Host::currentHostAddresses();
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
    EXPECT_EQ(std::set<std::string>(addresses.begin(), addresses.end()).size(), addresses.size());
}

}  // namespace
