#include "Platform/NotificationCenter.h"

#include <gtest/gtest.h>

namespace {

using platform::Notification;
using platform::NotificationCenter;

TEST(NotificationCenter, ObserversMatchByNameAndOptionallyByObject) {
    NotificationCenter center;
    int sender = 0;
    int other = 0;
    std::vector<std::string> calls;
    center.addObserver("Changed", nullptr, [&](const Notification& n) {
        calls.push_back("any:" + n.name + (n.object == &sender ? ":sender" : ":other") +
                        (n.userInfo && n.userInfo->count("key") ? ":info" : ""));
    });
    center.addObserver("Changed", &sender, [&](const Notification& n) { calls.push_back("sender-only"); });
    center.addObserver("Other", nullptr, [&](const Notification&) { calls.push_back("wrong name"); });

    center.postNotification("Changed", &sender);
    center.postNotification("Changed", &other, platform::PlistDictionary{{"key", "value"}});
    center.postNotification("changed", &sender);
    EXPECT_EQ(calls, (std::vector<std::string>{"any:Changed:sender", "sender-only", "any:Changed:other:info"}));
}

TEST(NotificationCenter, RemovalByTokenTakesEffectAtOnceEvenDuringAPost) {
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationCenter::ObserverToken second = 0;
    const auto first = center.addObserver("N", nullptr, [&](const Notification&) {
        calls.push_back("first");
        EXPECT_TRUE(center.removeObserver(second));
        center.addObserver("N", nullptr, [&](const Notification&) { calls.push_back("added during post"); });
    });
    second = center.addObserver("N", nullptr, [&](const Notification&) { calls.push_back("second"); });

    center.postNotification("N", nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"first"}));
    EXPECT_FALSE(center.removeObserver(second));
    EXPECT_TRUE(center.removeObserver(first));

    calls.clear();
    center.postNotification("N", nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"added during post"}));
}

}  // namespace
