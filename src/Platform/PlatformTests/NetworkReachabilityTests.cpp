#include "Platform/NetworkReachability.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TestSupport/NetworkNamespace.h"

namespace {

using namespace std::chrono_literals;
using platform::NetworkReachability;
using platform::RunLoop;
using platform::SocketAddress;
namespace Flag = platform::NetworkReachabilityFlag;

constexpr std::uint32_t kLocal = Flag::Reachable | Flag::IsLocalAddress | Flag::IsDirect;

const SocketAddress kLoopbackIPv4 = SocketAddress::ipv4({127, 0, 0, 1});
const SocketAddress kLoopbackIPv6 = SocketAddress::ipv6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
const SocketAddress kAnyIPv4 = SocketAddress::ipv4({0, 0, 0, 0});

std::uint32_t flagsOf(const std::unique_ptr<NetworkReachability>& target) {
    const auto flags = target->flags();
    EXPECT_TRUE(flags.has_value());
    return flags.value_or(0xFFFFFFFF);
}

TEST(NetworkReachability, TargetsAreRefusedOnlyForMalformedNamesAndAddresses) {
    for (const std::string& name : {std::string(), std::string("a\0b", 3), std::string(254, 'a')}) {
        EXPECT_EQ(NetworkReachability::createWithName(name), nullptr) << name;
    }
    EXPECT_NE(NetworkReachability::createWithName(std::string(253, 'a')), nullptr);
    SocketAddress shortIPv4 = kLoopbackIPv4;
    shortIPv4.length = 15;
    SocketAddress ipv6WithIPv4Length = kLoopbackIPv6;
    ipv6WithIPv4Length.length = SocketAddress::kLengthIPv4;
    for (const SocketAddress& address : {SocketAddress{}, shortIPv4, ipv6WithIPv4Length}) {
        EXPECT_EQ(NetworkReachability::createWithAddress(address), nullptr);
    }
}

TEST(NetworkReachability, FlagsFollowTheRoutingTable) {
    RUN_IN_NEW_NETWORK_NAMESPACE([] {
        const auto ipv4 = NetworkReachability::createWithAddress(kLoopbackIPv4);
        const auto otherLoopback = NetworkReachability::createWithAddress(SocketAddress::ipv4({127, 1, 2, 3}));
        const auto ipv6 = NetworkReachability::createWithAddress(kLoopbackIPv6);
        const auto remote = NetworkReachability::createWithAddress(SocketAddress::ipv4({192, 0, 2, 1}, 80));
        const auto internet = NetworkReachability::createWithAddress(kAnyIPv4);
        const auto localhost = NetworkReachability::createWithName("localhost");
        const auto unresolvable = NetworkReachability::createWithName("no-such-host.invalid");

        const auto all = std::vector<const std::unique_ptr<NetworkReachability>*>(
            {&ipv4, &otherLoopback, &ipv6, &localhost, &remote, &internet, &unresolvable});
        for (const auto* target : all) {
            EXPECT_EQ(flagsOf(*target), 0u);
        }
        // With the loopback up, the local targets (the first four) are reachable, the others not.
        ASSERT_TRUE(kvltest::setLoopbackUp(true));
        for (const auto* target : all) {
            EXPECT_EQ(flagsOf(*target),
                      target == &remote || target == &internet || target == &unresolvable ? 0u : kLocal);
        }

        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(true));
        EXPECT_EQ(flagsOf(internet), Flag::Reachable | Flag::IsDirect);
        // (Names are not resolved past this point: with a route out, a query to the name
        // server would wait for its timeout.)

        // Through a gateway the address is reachable, but no longer directly.
        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(false));
        ASSERT_TRUE(kvltest::setDefaultRouteThroughGateway(true));
        EXPECT_EQ(flagsOf(internet), Flag::Reachable);
        EXPECT_EQ(flagsOf(ipv4), kLocal);
        ASSERT_TRUE(kvltest::setDefaultRouteThroughGateway(false));
        EXPECT_EQ(flagsOf(remote), 0u);
        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(true));

        ASSERT_TRUE(kvltest::setLoopbackUp(false));
        EXPECT_EQ(flagsOf(ipv6), 0u);
        EXPECT_EQ(flagsOf(internet), 0u);
    });
}

TEST(NetworkReachability, ScheduledTargetCallsBackOnItsLoopWhenItsFlagsChange) {
    RUN_IN_NEW_NETWORK_NAMESPACE([] {
        const auto loop = RunLoop::current();
        // The IPv6 loopback address goes with the interface (the IPv4 one stays local).
        const auto target = NetworkReachability::createWithAddress(kLoopbackIPv6);
        std::vector<std::uint32_t> seen;
        std::vector<std::thread::id> threads;
        target->setCallback([&](std::uint32_t flags) {
            seen.push_back(flags);
            threads.push_back(std::this_thread::get_id());
        });
        ASSERT_TRUE(target->scheduleWithRunLoop(loop, platform::kRunLoopDefaultMode));
        EXPECT_FALSE(target->scheduleWithRunLoop(loop, platform::kRunLoopDefaultMode));

        ASSERT_TRUE(kvltest::setLoopbackUp(true));
        EXPECT_TRUE(loop->runUntil([&] { return seen.size() == 1; }, 5s));
        ASSERT_TRUE(kvltest::setLoopbackUp(false));
        EXPECT_TRUE(loop->runUntil([&] { return seen.size() == 2; }, 5s));
        EXPECT_EQ(seen, (std::vector<std::uint32_t>{kLocal, 0}));
        EXPECT_EQ(threads, (std::vector<std::thread::id>(2, std::this_thread::get_id())));

        // A change that leaves this target's flags as they are is not announced.
        ASSERT_TRUE(kvltest::setLoopbackUp(true));
        ASSERT_TRUE(loop->runUntil([&] { return seen.size() == 3; }, 5s));
        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(true));
        EXPECT_EQ(loop->runInMode(platform::kRunLoopDefaultMode, 200ms, false), RunLoop::RunResult::TimedOut);
        EXPECT_EQ(seen.size(), 3u);

        EXPECT_FALSE(target->unscheduleFromRunLoop(loop, "other mode"));
        EXPECT_TRUE(target->unscheduleFromRunLoop(loop, platform::kRunLoopDefaultMode));
        EXPECT_FALSE(target->unscheduleFromRunLoop(loop, platform::kRunLoopDefaultMode));
        ASSERT_TRUE(kvltest::setLoopbackUp(false));
        EXPECT_EQ(loop->runInMode(platform::kRunLoopDefaultMode, 200ms, false), RunLoop::RunResult::TimedOut);
        EXPECT_EQ(seen.size(), 3u);
    });
}

TEST(NetworkReachability, CallbackMayDestroyItsTarget) {
    RUN_IN_NEW_NETWORK_NAMESPACE([] {
        const auto loop = RunLoop::current();
        auto target = NetworkReachability::createWithAddress(kLoopbackIPv6);
        int calls = 0;
        target->setCallback([&](std::uint32_t) {
            ++calls;
            target.reset();
        });
        ASSERT_TRUE(target->scheduleWithRunLoop(loop, platform::kRunLoopDefaultMode));
        ASSERT_TRUE(kvltest::setLoopbackUp(true));
        EXPECT_TRUE(loop->runUntil([&] { return calls == 1; }, 5s));
        EXPECT_EQ(target, nullptr);
    });
}

}  // namespace
