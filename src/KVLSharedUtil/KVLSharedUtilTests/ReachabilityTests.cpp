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
        : token_(NotificationCenter::defaultCenter().addObserver(std::string(kReachabilityChangedNotification), nullptr,
                                                                 [this](const Notification& notification) {
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

// The status follows the reachable bit alone; every status query writes the debug line.
TEST(Reachability, CurrentFlagsDecideStatusAndConnectionRequired) {
    Reachability reachability;
    reachability.reachabilityWithHostName("no-such-host.invalid");
    const struct {
        std::optional<std::uint32_t> flags;
        NetworkStatus status;
        bool connectionRequired;
        std::vector<std::string> debugLines;
    } cases[] = {{0x6, NetworkStatus::Reachable, true, {debugLine("WR -c-----")}},
                 {0x0, NetworkStatus::NotReachable, false, {debugLine("-- -------")}},
                 {0x3003F, NetworkStatus::Reachable, true, {debugLine("WR tcCiDld")}},
                 {0xFFFFFFFD, NetworkStatus::NotReachable, true, {debugLine("-- tcCiDld")}},
                 {std::nullopt, NetworkStatus::NotReachable, false, {}}};  // flags that cannot be read
    for (const auto& c : cases) {
        const FixedFlags flags(c.flags);
        kvltest::ConsoleCapture console;
        EXPECT_EQ(reachability.currentReachabilityStatus(), c.status);
        EXPECT_EQ(reachability.connectionRequired(), c.connectionRequired);
        EXPECT_EQ(console.messages(), c.debugLines);
    }
}

TEST(Reachability, ChangesArePostedOnTheStartingThreadUntilTheNotifierStops) {
    RUN_IN_NEW_NETWORK_NAMESPACE([] {
        const auto internet = Reachability::reachabilityForInternetConnection();
        const auto stopped = Reachability::reachabilityForInternetConnection();
        auto destroyed = Reachability::reachabilityForInternetConnection();
        ASSERT_NE(internet, nullptr);
        ChangeRecorder changes;
        for (const auto& reachability : {internet, stopped, destroyed})
            ASSERT_TRUE(reachability->startNotifier());
        stopped->stopNotifier();
        destroyed.reset();

        ASSERT_TRUE(kvltest::setLoopbackUp(true));
        ASSERT_TRUE(kvltest::setDefaultRouteThroughLoopback(true));
        ASSERT_TRUE(changes.waitFor(1));
        EXPECT_TRUE(changes.staysQuiet());
        EXPECT_EQ(changes.objects, (std::vector<void*>{internet.get()}));
        EXPECT_EQ(changes.threads, (std::vector<std::thread::id>{std::this_thread::get_id()}));
        EXPECT_EQ(internet->currentReachabilityStatus(), NetworkStatus::Reachable);
    });
}

}  // namespace
