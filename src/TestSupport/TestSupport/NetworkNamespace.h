#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace kvltest {

// Runs `body` on a thread of its own inside a fresh network namespace, whose only interface is
// a loopback that is down, and waits for it. Answers why when no namespace could be made (no
// right to make one), without running `body`: the caller skips with that reason.
std::optional<std::string> runInNewNetworkNamespace(const std::function<void()>& body);

// In a test: runs body in such a namespace, or skips the test with the reason none could be made.
#define RUN_IN_NEW_NETWORK_NAMESPACE(body)                              \
    if (const auto refusal = kvltest::runInNewNetworkNamespace(body)) { \
        GTEST_SKIP() << *refusal;                                       \
    }

// Within such a namespace: turns the loopback interface up or down, and adds or deletes an
// IPv4 default route through it (the loopback must be up to add it). Each answers success.
bool setLoopbackUp(bool up);
bool setDefaultRouteThroughLoopback(bool present);
// Adds or deletes an IPv4 default route through the gateway 10.9.0.2, taken as reachable on
// the loopback (the loopback must be up to add it).
bool setDefaultRouteThroughGateway(bool present);

}  // namespace kvltest
