#include "KVLSharedUtil/KVLRunningApplicationHelper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Platform/Task.h"
#include "TestSupport/SleepingChild.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

class KVLRunningApplicationHelperTest : public kvltest::TemporaryRootTest {
protected:
    // An application bundle whose executable is a sleeping copy of this test binary.
    std::string makeApplication(const std::string& name, const std::string& identifier) const {
        const std::string executable = "<key>CFBundleExecutable</key><string>" + name + "</string>";
        return kvltest::installTestExecutable(writeBundle("Applications/" + name + ".app", identifier, executable),
                                              name);
    }
};

TEST_F(KVLRunningApplicationHelperTest, NamesEachRunningApplicationOnce) {
    const std::string twice = makeApplication("Twice", "com.example.twice");
    makeApplication("Idle", "com.example.idle");
    const auto arguments = kvltest::sleepingChildArguments();
    platform::Task first(twice, arguments);
    platform::Task second(twice, arguments);
    ASSERT_EQ(first.launch(), std::nullopt);
    ASSERT_EQ(second.launch(), std::nullopt);

    KVLRunningApplicationHelper helper;
    helper.addApplication("Twice", "com.example.twice");
    helper.addApplication("Idle", "com.example.idle");
    helper.addApplication("Unknown", "com.example.unknown");
    // The children run the copy once they have executed it.
    std::vector<std::string> names;
    for (int attempt = 0; attempt < 200 && names.empty(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        names = helper.runningApplicationName();
    }
    EXPECT_EQ(names, std::vector<std::string>{"Twice"});
}

}  // namespace
