#include "KVLUpdaterUpdateAssistant.h"

#include <malloc.h>

#include <filesystem>
#include <iterator>

#include "AssistantTest.h"
#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLoggerService.h"

namespace {

class KVLUpdaterUpdateAssistantTest : public kvltest::AssistantTest {
protected:
    static auto openDescriptors() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

    KVLUpdaterUpdateAssistant assistant;
};

TEST_F(KVLUpdaterUpdateAssistantTest, FixedAnswersThatTouchNoFlagAndNoFile) {
    ASSERT_TRUE(assistant.setupUpdate(provider, logger));
    platform::PlistDictionary components{{"a", platform::PlistValue("text")}, {"b", platform::PlistValue(7)}};
    assistant.isDependentOn(components);
    EXPECT_EQ(components, (platform::PlistDictionary{{"a", platform::PlistValue(0)}, {"b", platform::PlistValue(0)}}));
    std::vector<std::string> prerequisites{"x"};
    assistant.checkPreRequisite(prerequisites);
    EXPECT_EQ(prerequisites, std::vector<std::string>{"x"});

    for (const bool flags : {true, false}) {
        bool restart = flags, logoff = flags, skip = flags;
        EXPECT_TRUE(assistant.unloadComponent());
        EXPECT_TRUE(assistant.performPostUpdateOfPatchesWithRestartRequired(&restart, &logoff, &skip));
        EXPECT_TRUE(assistant.loadComponentWithRestartRequired(&restart, &logoff));
        EXPECT_EQ(std::vector<bool>({restart, logoff, skip}), std::vector<bool>(3, flags));
    }
    EXPECT_EQ(assistant.mLaunchServiceHelper()->mLaunchServiceList().size(), 0u);
    assistant.cleanupUpdate();
    EXPECT_TRUE(provider->calls().empty());
    EXPECT_FALSE(KVLLoggerService::isLoaded());
}

TEST_F(KVLUpdaterUpdateAssistantTest, RepeatedCyclesLeaveDescriptorsAndMemoryFlat) {
    constexpr int kCycles = 200;
    const auto quiet = std::make_shared<kvltest::RecordingLogger>(0);  // keeps nothing: memory measures the assistant
    // The first cycle makes the process-wide objects that live on.
    ASSERT_TRUE(assistant.setupUpdate(provider, quiet));
    assistant.cleanupUpdate();
    console.clear();
    const auto descriptors = openDescriptors();
    const std::size_t allocated = ::mallinfo2().uordblks;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        ASSERT_TRUE(assistant.setupUpdate(provider, quiet)) << cycle;
        assistant.cleanupUpdate();
        console.clear();
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    // Memory that a leak of even a few bytes per cycle would exceed. Under the sanitizers the
    // allocator is theirs and reports nothing here; LeakSanitizer covers the leaks then.
    EXPECT_LT(::mallinfo2().uordblks, allocated + kCycles * 8);
    EXPECT_FALSE(KVLErrorService::isLoaded());
}

}  // namespace
