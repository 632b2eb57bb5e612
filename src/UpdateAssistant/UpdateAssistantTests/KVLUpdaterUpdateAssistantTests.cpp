#include "KVLUpdaterUpdateAssistant.h"

#include "AssistantTest.h"
#include "LoggerService/KVLLoggerService.h"

namespace {

class KVLUpdaterUpdateAssistantTest : public kvltest::AssistantTest {
protected:
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

}  // namespace
