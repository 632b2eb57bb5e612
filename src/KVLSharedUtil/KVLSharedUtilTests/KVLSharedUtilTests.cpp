#include <gtest/gtest.h>

#include <vector>

#include "TestSupport/RecordingAPIBypass.h"

namespace {

TEST(KVLSharedUtil, BracketsReachOnlyTheInstalledBypass) {
    const auto shared = KVLSharedUtil::sharedInstance();
    EXPECT_EQ(shared->getAPIBypass(), nullptr);
    KVLSharedUtil::enterSafeZone();  // nothing installed: no effect
    KVLSharedUtil::exitSafeZone();

    auto first = std::make_shared<kvltest::RecordingAPIBypass>();
    auto second = std::make_shared<kvltest::RecordingAPIBypass>();
    shared->setAPIBypass(first);
    KVLSharedUtil::enterSafeZone();
    shared->setAPIBypass(second);
    EXPECT_EQ(shared->getAPIBypass(), second);
    KVLSharedUtil::exitSafeZone();
    shared->setAPIBypass(nullptr);
    EXPECT_EQ(first->calls, std::vector<std::string>{"enter"});
    EXPECT_EQ(second->calls, std::vector<std::string>{"exit"});
    EXPECT_EQ(first.use_count(), 1);  // released by the replacement
}

}  // namespace
