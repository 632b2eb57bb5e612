#include "KVLSharedUtil/Reachability.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Platform/NotificationCenter.h"
#include "Platform/RunLoop.h"
#include "TestSupport/ConsoleCapture.h"
#include "TestSupport/NetworkNamespace.h"

namespace {

using namespace std::chrono_literals;
using platform::NetworkReachability;
using platform::Notification;
using platform::NotificationCenter;
using platform::RunLoop;

std::string debugLine(std::string_view marks) {
    return "Reachability Flag Status: " + std::string(marks) + " networkStatusForFlags\n";
}

// Answers the given flags for every target while it lives.
class FixedFlags {
public:
    explicit FixedFlags(std::optional<std::uint32_t> flags)
        : previous_(NetworkReachability::exchangeFlagsSource([flags] { return flags; })) {}
    ~FixedFlags() { NetworkReachability::exchangeFlagsSource(previous_); }

private:
    NetworkReachability::FlagsSource previous_;
};

// Records the reachability notifications that reach this thread's observer, and the thread
// each arrived on.
class ChangeRecorder {
public:
    ChangeRecorder()
        : token_(NotificationCenter::defaultCenter().addObserver(
              std::string(kReachabilityChangedNotification), nullptr, [this](const Notification& notification) {
                  objects.push_back(notification.object);
                  threads.push_back(std::this_thread::get_id());
              })) {}
    ~ChangeRecorder() { NotificationCenter::defaultCenter().removeObserver(token_); }

    bool waitFor(std::size_t count) {
        return RunLoop::current()->runUntil([&] { return objects.size() >= count; }, 5s);
    }
    // Runs the loop briefly; true when nothing more was posted.
    bool staysQuiet() {
        const std::size_t before = objects.size();
        RunLoop::current()->runInMode(platform::kRunLoopDefaultMode, 200ms, false);
        return objects.size() == before;
    }

    std::vector<void*> objects;
    std::vector<std::thread::id> threads;

private:
    NotificationCenter::ObserverToken token_;
};

TEST(Reachability, StatusFollowsTheReachableBitAloneAndEveryQueryWritesTheDebugLine) {
    const Reachability reachability;
    kvltest::ConsoleCapture console;
    EXPECT_EQ(reachability.networkStatusForFlags(0x2), NetworkStatus::Reachable);
    EXPECT_EQ(reachability.networkStatusForFlags(0x0), NetworkStatus::NotReachable);
    EXPECT_EQ(reachability.networkStatusForFlags(0x6), NetworkStatus::Reachable);
    EXPECT_EQ(reachability.networkStatusForFlags(0x3003F), NetworkStatus::Reachable);
    EXPECT_EQ(reachability.networkStatusForFlags(0xFFFFFFFD), NetworkStatus::NotReachable);
    EXPECT_EQ(console.messages(), (std::vector<std::string>{debugLine("WR -------"), debugLine("-- -------"),
                                                            debugLine("WR -c-----"), debugLine("WR tcCiDld"),
                                                            debugLine("-- tcCiDld")}));
}

TEST(Reachability, CurrentFlagsDecideStatusAndConnectionRequired) {
    Reachability reachability;
    reachability.reachabilityWithHostName("no-such-host.invalid");
    kvltest::ConsoleCapture console;
    {
        const FixedFlags flags(0x6);
        EXPECT_EQ(reachability.currentReachabilityStatus(), NetworkStatus::Reachable);
        EXPECT_TRUE(reachability.connectionRequired());
    }
    {
        const FixedFlags flags(0x4);
        EXPECT_EQ(reachability.currentReachabilityStatus(), NetworkStatus::NotReachable);
        EXPECT_TRUE(reachability.connectionRequired());
    }
    {
        const FixedFlags flags(0x2);
        EXPECT_FALSE(reachability.connectionRequired());
    }
    {
        // Flags that cannot be read: not reachable, no connection required, no debug line.
        const FixedFlags flags(std::nullopt);
        EXPECT_EQ(reachability.currentReachabilityStatus(), NetworkStatus::NotReachable);
        EXPECT_FALSE(reachability.connectionRequired());
    }
    EXPECT_EQ(console.messages(), (std::vector<std::string>{debugLine("WR -c-----"), debugLine("-- -c-----")}));
}

TEST(Reachability, InstanceWithoutATargetIsNeverReachable) {
    const FixedFlags flags(0x6);
    Reachability reachability;
    reachability.reachabilityWithHostName("");
    kvltest::ConsoleCapture console;
    EXPECT_EQ(reachability.currentReachabilityStatus(), NetworkStatus::NotReachable);
    EXPECT_FALSE(reachability.connectionRequired());
    EXPECT_FALSE(reachability.startNotifier());
    reachability.stopNotifier();
    EXPECT_TRUE(console.messages().empty());

    EXPECT_EQ(Reachability::reachabilityWithAddress(platform::SocketAddress{}), nullptr);
}

TEST(Reachability, InternetConnectionChangesArePostedOnTheStartingThread) {
    RUN_IN_NEW_NETWORK_NAMESPACE([] {
        kvltest::ConsoleCapture console;
        const auto internet = Reachability::reachabilityForInternetConnection();
        ASSERT_NE(internet, nullptr);
        EXPECT_EQ(internet->currentReachabilityStatus(), NetworkStatus::NotReachable);
        ChangeRecorder changes;
        ASSERT_TRUE(internet->startNotifier());

        ASSERT_TRUE(kvltest::setLoopbackUp(true));
        EXPECT_TRUE(changes.staysQuiet());  // the loopback alone is no way out
        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(true));
        ASSERT_TRUE(changes.waitFor(1));
        EXPECT_EQ(internet->currentReachabilityStatus(), NetworkStatus::Reachable);
        EXPECT_FALSE(internet->connectionRequired());

        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(false));
        ASSERT_TRUE(changes.waitFor(2));
        EXPECT_EQ(internet->currentReachabilityStatus(), NetworkStatus::NotReachable);
        EXPECT_EQ(changes.objects, (std::vector<void*>(2, internet.get())));
        EXPECT_EQ(changes.threads, (std::vector<std::thread::id>(2, std::this_thread::get_id())));
        EXPECT_EQ(console.messages(), (std::vector<std::string>{debugLine("-- -------"), debugLine("WR ------d"),
                                                                debugLine("-- -------")}));

        internet->stopNotifier();
        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(true));
        EXPECT_TRUE(changes.staysQuiet());
    });
}

TEST(Reachability, HostNamesAreWatchedAndANameThatDoesNotResolveIsNotReachable) {
    RUN_IN_NEW_NETWORK_NAMESPACE([] {
        auto localhost = std::make_shared<Reachability>();
        localhost->reachabilityWithHostName("localhost");
        Reachability unresolvable;
        unresolvable.reachabilityWithHostName("no-such-host.invalid");
        EXPECT_EQ(localhost->currentReachabilityStatus(), NetworkStatus::NotReachable);

        ChangeRecorder changes;
        ASSERT_TRUE(localhost->startNotifier());
        ASSERT_TRUE(unresolvable.startNotifier());
        ASSERT_TRUE(kvltest::setLoopbackUp(true));
        ASSERT_TRUE(changes.waitFor(1));
        EXPECT_EQ(changes.objects, (std::vector<void*>{localhost.get()}));
        EXPECT_EQ(localhost->currentReachabilityStatus(), NetworkStatus::Reachable);
        EXPECT_EQ(unresolvable.currentReachabilityStatus(), NetworkStatus::NotReachable);

        // Destruction stops the notifier: the next change posts nothing.
        localhost.reset();
        ASSERT_TRUE(kvltest::setLoopbackUp(false));
        EXPECT_TRUE(changes.staysQuiet());
    });
}

}  // namespace
