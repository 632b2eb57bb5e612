#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

#include "KVLSharedUtil/KVLSafeZone.h"
#include "TestSupport/RecordingAPIBypass.h"

namespace {

TEST(KVLSharedUtil, BracketsReachOnlyTheInstalledBypass) {
    const auto shared = KVLSharedUtil::sharedInstance();
    EXPECT_EQ(shared->getAPIBypass(), nullptr);
    KVLSharedUtil::enterSafeZone();  // nothing installed: no effect
    KVLSharedUtil::exitSafeZone();
    shared->setAPIBypass(nullptr);
    EXPECT_EQ(shared->getAPIBypass(), nullptr);

    auto first = std::make_shared<kvltest::RecordingAPIBypass>();
    auto second = std::make_shared<kvltest::RecordingAPIBypass>();
    shared->setAPIBypass(first);
    KVLSharedUtil::enterSafeZone();
    shared->setAPIBypass(second);
    EXPECT_EQ(shared->getAPIBypass(), second);
    KVLSharedUtil::exitSafeZone();
    shared->setAPIBypass(nullptr);
    EXPECT_EQ(first->calls(), std::vector<std::string>{"enter"});
    EXPECT_EQ(second->calls(), std::vector<std::string>{"exit"});
    EXPECT_EQ(first.use_count(), 1);  // released by the replacement
}

TEST(KVLSafeZone, ExitsOnEveryPathAndNests) {
    kvltest::InstalledAPIBypass bypass;
    try {
        KVLSafeZone outer;
        {
            KVLSafeZone inner;
        }
        throw std::runtime_error("platform failure");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(bypass.calls(), (std::vector<std::string>{"enter", "enter", "exit", "exit"}));
}

TEST(KVLSafeZone, ThreadsBracketIndependently) {
    kvltest::InstalledAPIBypass bypass;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 1000; ++i) {
                KVLSafeZone zone;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const auto calls = bypass.calls();
    EXPECT_EQ(calls.size(), 8000u);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "enter"), 4000);
}

}  // namespace
