#include "KVLUpdaterUpdateAssistant.h"

#include <dirent.h>
#include <malloc.h>

#include "AssistantTest.h"
#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLoggerService.h"

namespace {

class KVLUpdaterUpdateAssistantTest : public kvltest::AssistantTest {
protected:
    static std::size_t openDescriptors() {
        std::size_t count = 0;
        if (DIR* folder = ::opendir("/proc/self/fd")) {
            while (::readdir(folder) != nullptr) {
                ++count;
            }
            ::closedir(folder);
        }
        return count;
    }

    KVLUpdaterUpdateAssistant assistant;
};

TEST_F(KVLUpdaterUpdateAssistantTest, FixedAnswersThatTouchNoFlagAndNoFile) {
    ASSERT_TRUE(assistant.setupUpdate(provider, logger));
    platform::PlistDictionary components{{"a", platform::PlistValue("text")},
                                         {"b", platform::PlistValue(7)},
                                         {"c", platform::PlistValue(platform::PlistArray{})}};
    assistant.isDependentOn(components);
    EXPECT_EQ(components, (platform::PlistDictionary{{"a", platform::PlistValue(0)},
                                                     {"b", platform::PlistValue(0)},
                                                     {"c", platform::PlistValue(0)}}));
    platform::PlistDictionary none;
    assistant.isDependentOn(none);
    EXPECT_TRUE(none.empty());
    std::vector<std::string> prerequisites{"x"};
    assistant.checkPreRequisite(prerequisites);
    EXPECT_EQ(prerequisites, std::vector<std::string>{"x"});

    for (const bool flags : {true, false}) {
        bool restart = flags, logoff = flags, skip = flags;
        EXPECT_TRUE(assistant.unloadComponent());
        EXPECT_TRUE(assistant.performPostUpdateOfPatchesWithRestartRequired(&restart, &logoff, &skip));
        EXPECT_TRUE(assistant.performPostUpdateOfPatchesWithRestartRequired(nullptr, nullptr, nullptr));
        EXPECT_TRUE(assistant.loadComponentWithRestartRequired(&restart, &logoff));
        EXPECT_TRUE(assistant.loadComponentWithRestartRequired(nullptr, nullptr));
        EXPECT_EQ(std::vector<bool>({restart, logoff, skip}), std::vector<bool>(3, flags));
    }
    EXPECT_EQ(assistant.mLaunchServiceHelper()->mLaunchServiceList().size(), 0u);
    assistant.cleanupUpdate();
    EXPECT_TRUE(provider->calls().empty());
    EXPECT_FALSE(KVLErrorService::isLoaded());
    EXPECT_FALSE(KVLLoggerService::isLoaded());
}

// A logger that keeps nothing, so that memory measures the assistant alone.
class DiscardingLogger : public IKVLLogger {
public:
    std::uint64_t getLevel() override { return KVLLogLevelDebug; }
    bool isLevelOn(std::uint64_t level) override { return KVLIsLogLevelOn(KVLLogLevelDebug, level); }
    void logMessageVAList(std::string_view, std::uint64_t, std::string_view, std::int64_t,
                          platform::FormatArgs) override {}
    std::optional<std::string> getLogFilePath() override { return std::nullopt; }
};

TEST_F(KVLUpdaterUpdateAssistantTest, RepeatedCyclesLeaveDescriptorsAndMemoryFlat) {
    constexpr int kCycles = 200;
    const auto quiet = std::make_shared<DiscardingLogger>();
    // The first cycle makes the process-wide objects that live on.
    ASSERT_TRUE(assistant.setupUpdate(provider, quiet));
    assistant.cleanupUpdate();
    console.clear();
    const std::size_t descriptors = openDescriptors();
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
