#include "KVLUpdaterAssistant.h"

#include <algorithm>
#include <filesystem>

#include "AssistantTest.h"
#include "ErrorService/KVLErrorService.h"
#include "KVLUpdateAssistantPlugin.h"
#include "KVLUpdaterUpdateAssistant.h"
#include "LoggerService/KVLLoggerService.h"

namespace {

class KVLUpdaterAssistantTest : public kvltest::AssistantTest {};

// Notes at its destruction, when the logger service lets it go, whether the error service
// is still loaded.
class WatchingLogger : public kvltest::RecordingLogger {
public:
    explicit WatchingLogger(bool* errorServiceLoaded) : errorServiceLoaded_(errorServiceLoaded) {}
    ~WatchingLogger() override { *errorServiceLoaded_ = KVLErrorService::isLoaded(); }

private:
    bool* errorServiceLoaded_;
};

TEST_F(KVLUpdaterAssistantTest, SetupLoadsTheServicesAndCleanupReleasesAllButTheStringManagerLoggerFirst) {
    bool errorServiceLoaded = false;
    auto watching = std::make_shared<WatchingLogger>(&errorServiceLoaded);
    const auto* logger = watching.get();  // the logger service holds the only reference
    KVLUpdaterAssistant assistant;
    ASSERT_TRUE(assistant.setupUpdater(provider, std::move(watching), std::nullopt));
    EXPECT_EQ(console.messages(),
              (std::vector<std::string>{"OrvaneLite:: KVLUpdaterAssistant - Error Service loaded successfully",
                                        "OrvaneLite:: KVLUpdaterAssistant - Logger Service loaded successfully"}));
    EXPECT_EQ(logger->messages(),
              (std::vector<std::string>{"KVLUpdaterAssistant - Logger Service loaded successfully",
                                        "KVLUpdaterAssistant - String manager loaded successfully"}));
    EXPECT_EQ(assistant.mAdminPrivilegeProvider(), provider);
    ASSERT_NE(assistant.mStringManager(), nullptr);
    // The plug-in's own strings table, found through the bundle that holds its code.
    EXPECT_EQ(assistant.mStringManager()->getStringForId(-10003, nullptr), "There were no files to remove.");

    assistant.cleanupUpdater();
    EXPECT_EQ(assistant.mAdminPrivilegeProvider(), nullptr);
    EXPECT_EQ(assistant.mLaunchServiceHelper(), nullptr);
    EXPECT_EQ(assistant.mFileHelper(), nullptr);
    EXPECT_NE(assistant.mStringManager(), nullptr);
    EXPECT_FALSE(KVLErrorService::isLoaded());
    EXPECT_TRUE(errorServiceLoaded);  // the logger service let go of its logger first
}

TEST_F(KVLUpdaterAssistantTest, ASecondSetupOverALiveLoggerFailsAndTheCleanupsBalanceTheLoads) {
    KVLUpdaterAssistant first;
    KVLUpdaterAssistant second;
    ASSERT_TRUE(first.setupUpdater(provider, logger, std::nullopt));
    console.clear();
    EXPECT_FALSE(second.setupUpdater(provider, logger, std::nullopt));
    EXPECT_TRUE(console.contains("OrvaneLite:: KVLUpdaterAssistant - Failed to create Logger."));
    EXPECT_EQ(second.mAdminPrivilegeProvider(), nullptr);

    second.cleanupUpdater();
    EXPECT_TRUE(KVLLoggerService::isLoaded());
    first.cleanupUpdater();
    EXPECT_FALSE(KVLErrorService::isLoaded());
}

TEST_F(KVLUpdaterAssistantTest, ListsStopAtAMissingResourceWithItsMessage) {
    struct MissingResource {
        const char* name;
        bool launchServiceListFails;
        std::size_t entriesBeforeFailure;  // in the list that fails
        const char* message;
    };
    // (The auto-updater's job, the first of its list, is the host's end-to-end tests' case.)
    const MissingResource resources[] = {
        {"LaunchServices/com.orvane.OrvaneLite.UpdateHelper.plist", true, 2,
         "Failed to load Launch Service - update helper"},
        {"UpdateScheduler.plist", false, 1,
         "KVLUpdaterAssistant - Failed to load the copy file list for update scheduler tool"}};
    for (const MissingResource& missing : resources) {
        SCOPED_TRACE(missing.name);
        logger = std::make_shared<kvltest::RecordingLogger>(KVLLogLevelError);
        KVLUpdaterAssistant assistant;
        ASSERT_TRUE(assistant.setupUpdater(provider, logger, std::nullopt));
        const std::string saved = readFile(resource(missing.name));
        ASSERT_TRUE(std::filesystem::remove(resource(missing.name)));
        refreshPaths();
        // The other list is whole.
        EXPECT_EQ(assistant.loadLaunchServiceList(), !missing.launchServiceListFails);
        EXPECT_EQ(assistant.loadCopyFileList(), missing.launchServiceListFails);
        const std::size_t jobs = assistant.mLaunchServiceHelper()->mLaunchServiceList().size();
        const std::size_t copies = assistant.mFileHelper()->mCopyFilesSrcVsDestinationFile().size();
        EXPECT_EQ(missing.launchServiceListFails ? jobs : copies, missing.entriesBeforeFailure);
        EXPECT_EQ(missing.launchServiceListFails ? copies : jobs, missing.launchServiceListFails ? 2u : 3u);
        ASSERT_FALSE(logger->lines().empty());
        EXPECT_EQ(logger->lines()[0].message, missing.message);
        assistant.cleanupUpdater();
        writeFile(resource(missing.name), saved);
    }
}

// The host's end-to-end tests make both assistants by their class names.
TEST_F(KVLUpdaterAssistantTest, ThePluginEntryMakesNothingForAnotherClassName) {
    const KVLUpdateAssistantPluginTable* table = KVLUpdateAssistantPluginEntry();
    EXPECT_EQ(table->createInstallAssistant("KVLUpdaterUpdateAssistant"), nullptr);
    EXPECT_EQ(table->createUpdateAssistant(nullptr), nullptr);
}

TEST_F(KVLUpdaterAssistantTest, TheUpdateAssistantGivesFixedAnswersThatTouchNoFlagAndNoFile) {
    KVLUpdaterUpdateAssistant assistant;
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
