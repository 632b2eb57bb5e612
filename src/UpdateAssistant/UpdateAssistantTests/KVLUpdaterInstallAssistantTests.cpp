#include "KVLUpdaterInstallAssistant.h"

#include <algorithm>
#include <filesystem>

#include "AssistantTest.h"
#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLoggerService.h"
#include "Platform/ApplicationDatabase.h"

namespace {

using Operation = kvltest::RecordingPrivilegeProvider::Operation;

class KVLUpdaterInstallAssistantTest : public kvltest::AssistantTest {
protected:
    // The provider's calls as short texts: "copy <destination>", "attributes <path>",
    // "remove <path>", "run <command line>", paths relative to the root.
    std::vector<std::string> calls() const {
        std::vector<std::string> texts;
        for (const auto& call : provider->calls()) {
            std::string text = call.operation == Operation::CopyFile        ? "copy " + call.destination->path()
                               : call.operation == Operation::SetAttributes ? "attributes " + call.path
                               : call.operation == Operation::RemoveFileAt  ? "remove " + call.destination->path()
                                                                            : "run " + call.commandLine;
            texts.push_back(text.replace(text.find(root() + "/"), root().size() + 1, ""));
        }
        return texts;
    }
    // Whether a line was logged that holds the text.
    bool logged(const std::string& text) const {
        const auto messages = logger->messages();
        return std::any_of(messages.begin(), messages.end(),
                           [&](const std::string& message) { return message.find(text) != std::string::npos; });
    }

    KVLUpdaterInstallAssistant assistant;
    std::vector<std::string> advices{"kept"};
};

const std::string kSettings = "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater/SystemPreferences/";
const std::string kSchedule = kSettings + "UpdateScheduler.plist";
const std::string kAgent = "Library/LaunchAgents/com.orvane.OrvaneLite.AutoUpdater.plist";
const std::string kCopyHelper = "Library/LaunchDaemons/com.orvane.OrvaneLite.CopyHelper.plist";
const std::string kUpdateHelper = "Library/LaunchDaemons/com.orvane.OrvaneLite.UpdateHelper.plist";

TEST_F(KVLUpdaterInstallAssistantTest, AnInstallationCycleDoesItsWorkThroughTheProviderInOrder) {
    // A stale record of the auto-updater: registration must read the bundle again.
    const std::string autoUpdater = resource("Orvane Lite Auto Updater.app");
    writeBundle(autoUpdater, "com.orvane.Stale");
    ASSERT_EQ(platform::ApplicationDatabase::registerURL(platform::URL::fileURLWithPath(autoUpdater, true), false), 0);
    writeBundle(autoUpdater, "com.orvane.OrvaneLite.AutoUpdater");
    ASSERT_TRUE(
        assistant.setupInstallation(provider, logger, platform::PlistDictionary{{"any", platform::PlistValue(1)}}));
    EXPECT_TRUE(assistant.performPreInstallationAndAdvice(advices));
    bool restart = true, logoff = true;  // success leaves both flags as they came
    ASSERT_TRUE(assistant.installAndRestartRequired(&restart, &logoff));
    ASSERT_TRUE(assistant.performPostInstallationAndAdvices(advices, &restart, &logoff));
    assistant.cleanupInstallation();

    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "copy " + kSchedule, "copy " + kSettings + "UpdaterSystemPreferences.plist",
                           "copy " + kAgent, "attributes " + kAgent, "copy " + kCopyHelper, "attributes " + kCopyHelper,
                           "copy " + kUpdateHelper, "attributes " + kUpdateHelper, "run launchctl load " + kCopyHelper,
                           "run launchctl load " + kUpdateHelper}));
    EXPECT_EQ(provider->calls()[3].attributes,
              (platform::PlistDictionary{{"NSFilePosixPermissions", platform::PlistValue(0644)},
                                         {"NSFileOwnerAccountName", platform::PlistValue("root")},
                                         {"NSFileGroupOwnerAccountName", platform::PlistValue("wheel")}}));
    // The agent is loaded in this process; the status launchctl exits with is not looked at.
    EXPECT_TRUE(logged("LoadService output launchctl load " + path(kAgent) + "\n"));
    EXPECT_EQ(
        platform::ApplicationDatabase::applicationURLsForBundleIdentifier("com.orvane.OrvaneLite.AutoUpdater").size(),
        1u);
    EXPECT_TRUE(restart && logoff);
    EXPECT_EQ(advices, std::vector<std::string>{"kept"});
    EXPECT_FALSE(KVLErrorService::isLoaded());
}

// The host's fault matrix sees the log-off; that no restart is asked besides, only this.
TEST_F(KVLUpdaterInstallAssistantTest, AFailedDaemonLoadAsksForALogOffOnly) {
    provider->failCall(Operation::LaunchCommand, 1, {"launchctl failed", 5, KVLInternalErrorTypeOther});
    ASSERT_TRUE(assistant.setupInstallation(provider, logger, std::nullopt));
    bool restart = false, logoff = false;
    EXPECT_FALSE(assistant.performPostInstallationAndAdvices(advices, &restart, &logoff));
    EXPECT_EQ(std::pair(restart, logoff), std::pair(false, true));
    assistant.cleanupInstallation();
}

TEST_F(KVLUpdaterInstallAssistantTest, UninstallationTriesEverythingAndAlwaysSucceeds) {
    for (std::size_t call = 1; call <= 4; ++call) {
        provider->failCall(Operation::RemoveFileAt, call, {"busy", 16, KVLInternalErrorTypePosix});
        provider->failCall(Operation::LaunchCommand, call, {"busy", 16, KVLInternalErrorTypePosix});
    }
    ASSERT_TRUE(assistant.setupUninstallation(provider, logger));
    EXPECT_TRUE(assistant.performPreUninstallationAndAdvice(advices));
    bool restart = true;
    EXPECT_TRUE(assistant.uninstallAndRestartRequired(&restart, nullptr));
    assistant.performPostUninstallation();
    assistant.cleanupUninstallation();
    EXPECT_EQ(calls(),
              (std::vector<std::string>{"run launchctl unload " + kCopyHelper, "run launchctl unload " + kUpdateHelper,
                                        "remove " + kAgent, "remove " + kCopyHelper, "remove " + kUpdateHelper,
                                        "remove " + std::string(kUpdaterFolder)}));
    EXPECT_TRUE(restart);
}

TEST_F(KVLUpdaterInstallAssistantTest, SetupRefusesAMissingProviderLoggerScheduleOrApplication) {
    EXPECT_FALSE(assistant.setupInstallation(nullptr, logger, std::nullopt));
    EXPECT_FALSE(assistant.setupInstallation(provider, nullptr, std::nullopt));
    EXPECT_EQ(console.messages(), std::vector<std::string>(
                                      2, "OrvaneLite:: Updater Install Assistant - Invalid rights or logger instance"));
    EXPECT_FALSE(KVLErrorService::isLoaded());

    std::filesystem::remove(resource("UpdateScheduler.plist"));
    refreshPaths();
    EXPECT_FALSE(assistant.setupInstallation(provider, logger, std::nullopt));
    EXPECT_TRUE(logged("KVLUpdaterInstallAssistant - Failed to load Copy File List"));
    assistant.cleanupInstallation();
    EXPECT_FALSE(KVLErrorService::isLoaded());

    std::filesystem::remove_all(path(kApplication));
    refreshPaths();
    EXPECT_FALSE(assistant.setupInstallation(provider, logger, std::nullopt));
    EXPECT_TRUE(logged("KVLUpdaterInstallAssistant - Failed to load Launch Service List"));
    assistant.cleanupInstallation();

    EXPECT_FALSE(assistant.setupUninstallation(provider, logger));
    EXPECT_EQ(logger->messages().back(), "Failed to load Launch Service List");
    assistant.cleanupUninstallation();
    EXPECT_FALSE(KVLLoggerService::isLoaded());
}

TEST_F(KVLUpdaterInstallAssistantTest, AnUninstallationWithoutAProviderDoesNoPrivilegedWork) {
    std::filesystem::create_directories(path(kUpdaterFolder));
    writeFile(kCopyHelper, "installed");
    ASSERT_TRUE(assistant.setupUninstallation(nullptr, logger));
    EXPECT_TRUE(assistant.uninstallAndRestartRequired(nullptr, nullptr));
    assistant.cleanupUninstallation();
    EXPECT_EQ(readFile(kCopyHelper), "installed");
    EXPECT_TRUE(std::filesystem::is_directory(path(kUpdaterFolder)));
}

TEST_F(KVLUpdaterInstallAssistantTest, AnAutoUpdaterThatIsNoApplicationIsLoggedAndTheInstallationGoesOn) {
    std::filesystem::remove(resource("Orvane Lite Auto Updater.app/Contents/Info.plist"));
    refreshPaths();
    ASSERT_TRUE(assistant.setupInstallation(provider, logger, std::nullopt));
    EXPECT_TRUE(assistant.installAndRestartRequired(nullptr, nullptr));
    EXPECT_TRUE(logged("AutoUpdater application not registered successfully due to error code "));
    EXPECT_FALSE(logged("due to error code 0: "));
    EXPECT_TRUE(
        platform::ApplicationDatabase::applicationURLsForBundleIdentifier("com.orvane.OrvaneLite.AutoUpdater").empty());
    assistant.cleanupInstallation();
}

}  // namespace
