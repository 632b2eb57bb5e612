#include "KVLUpdaterAssistant.h"

#include <filesystem>

#include "AssistantTest.h"
#include "ErrorService/KVLErrorService.h"
#include "KVLUpdateAssistantPlugin.h"
#include "LoggerService/KVLLoggerService.h"

namespace {

class KVLUpdaterAssistantTest : public kvltest::AssistantTest {};

TEST_F(KVLUpdaterAssistantTest, SetupLoadsTheServicesAndCleanupReleasesAllButTheStringManager) {
    KVLUpdaterAssistant assistant;
    ASSERT_TRUE(assistant.setupUpdater(provider, logger, std::nullopt));
    EXPECT_EQ(console.messages(), (std::vector<std::string>{
                                      "OrvaneLite:: KVLUpdaterAssistant - Error Service loaded successfully",
                                      "OrvaneLite:: KVLUpdaterAssistant - Logger Service loaded successfully"}));
    EXPECT_EQ(logger->messages(), (std::vector<std::string>{"KVLUpdaterAssistant - Logger Service loaded successfully",
                                                            "KVLUpdaterAssistant - String manager loaded successfully"}));
    EXPECT_EQ(logger->lines()[0].fileName, "src/UpdateAssistant/Updater/KVLUpdaterAssistant");
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
    EXPECT_FALSE(KVLLoggerService::isLoaded());
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
    EXPECT_TRUE(KVLErrorService::isLoaded());
    EXPECT_TRUE(KVLLoggerService::isLoaded());
    first.cleanupUpdater();
    EXPECT_FALSE(KVLErrorService::isLoaded());
    EXPECT_FALSE(KVLLoggerService::isLoaded());
}

TEST_F(KVLUpdaterAssistantTest, ListsStopAtTheFirstMissingResource) {
    KVLUpdaterAssistant assistant;
    ASSERT_TRUE(assistant.setupUpdater(provider, logger, std::nullopt));
    std::filesystem::remove(resource("LaunchServices/com.orvane.OrvaneLite.CopyHelper.plist"));
    std::filesystem::remove(resource("UpdateScheduler.plist"));
    refreshPaths();

    EXPECT_FALSE(assistant.loadLaunchServiceList());
    EXPECT_EQ(logger->messages().back(), "Failed to load Launch Service - copy helper");
    EXPECT_EQ(logger->lines().back().level, KVLLogLevelError);
    EXPECT_EQ(assistant.mLaunchServiceHelper()->mLaunchServiceList().size(), 1u);

    EXPECT_FALSE(assistant.loadCopyFileList());
    EXPECT_EQ(logger->messages().back(),
              "KVLUpdaterAssistant - Failed to load the copy file list for update scheduler tool");
    EXPECT_EQ(assistant.mFileHelper()->mCopyFilesSrcVsDestinationFile().size(), 1u);

    EXPECT_TRUE(assistant.loadDeleteFileList());
    assistant.cleanupUpdater();
}

TEST_F(KVLUpdaterAssistantTest, AFailedLoggerServiceLeavesOnlyTheErrorServiceForTheCleanup) {
    KVLUpdaterAssistant assistant;
    EXPECT_FALSE(assistant.setupUpdater(provider, nullptr, std::nullopt));
    EXPECT_TRUE(console.contains("OrvaneLite:: KVLUpdaterAssistant - Failed to create Logger."));
    assistant.cleanupUpdater();
    EXPECT_FALSE(KVLErrorService::isLoaded());
    EXPECT_FALSE(KVLLoggerService::isLoaded());
}

TEST_F(KVLUpdaterAssistantTest, ThePluginEntryMakesAssistantsByClassName) {
    const KVLUpdateAssistantPluginTable* table = KVLUpdateAssistantPluginEntry();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->interfaceVersion, KVLUpdateAssistantInterfaceVersion);
    std::unique_ptr<IKVLInstallAssistant> install(table->createInstallAssistant("KVLUpdaterInstallAssistant"));
    std::unique_ptr<IKVLUpdateAssistant> update(table->createUpdateAssistant("KVLUpdaterUpdateAssistant"));
    EXPECT_NE(install, nullptr);
    EXPECT_NE(update, nullptr);
    EXPECT_EQ(table->createInstallAssistant("KVLUpdaterUpdateAssistant"), nullptr);
    EXPECT_EQ(table->createUpdateAssistant(nullptr), nullptr);
}

}  // namespace
