#include <gtest/gtest.h>

#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"
#include "Platform/FileManager.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

class KVLUpdaterPathHelperTest : public kvltest::TemporaryRootTest {
protected:
    const std::string app = "Applications/Orvane Lite/Orvane Lite Updater.app/Contents/";
    const std::string updater = "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater";

    void installUpdaterApplication() {
        writeFile(app + "Info.plist",
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                  "<string>com.orvane.OrvaneLite.Updater</string></dict></plist>");
        for (const char* name : {"UpdaterSystemPreferences.plist", "UpdateScheduler.plist",
                                 "LaunchServices/com.orvane.OrvaneLite.CopyHelper.plist",
                                 "LaunchServices/com.orvane.OrvaneLite.UpdateHelper.plist",
                                 "LaunchServices/com.orvane.OrvaneLite.AutoUpdater.plist",
                                 "UpdateAssistant.bundle/Contents/Info.plist",
                                 "Orvane Lite Auto Updater.app/Contents/Info.plist"}) {
            writeFile(app + "Resources/" + name, "x");
        }
    }

    static std::string pathOf(const std::optional<platform::URL>& url) { return url ? url->path() : "(null)"; }
};

TEST_F(KVLUpdaterPathHelperTest, EveryPlaceWithTheUpdaterApplicationInstalled) {
    installUpdaterApplication();
    KVLUpdaterPathHelper helper;
    const std::string resources = path(app + "Resources/");
    EXPECT_EQ(pathOf(helper.sourceOfUpdaterSystemPreferencesPListURL()), resources + "UpdaterSystemPreferences.plist");
    EXPECT_EQ(pathOf(helper.sourceOfUpdateSchedulerPListURL()), resources + "UpdateScheduler.plist");
    EXPECT_EQ(pathOf(helper.sourceOfCopyHelperPListURL()),
              resources + "LaunchServices/com.orvane.OrvaneLite.CopyHelper.plist");
    EXPECT_EQ(pathOf(helper.sourceOfUpdateHelperPListURL()),
              resources + "LaunchServices/com.orvane.OrvaneLite.UpdateHelper.plist");
    EXPECT_EQ(pathOf(helper.sourceOfOrvaneLiteAutoUpdaterAppPListURL()),
              resources + "LaunchServices/com.orvane.OrvaneLite.AutoUpdater.plist");
    EXPECT_EQ(pathOf(helper.updateAssistantBundleURL()), resources + "UpdateAssistant.bundle");
    EXPECT_EQ(pathOf(helper.orvaneLiteAutoUpdaterAppURL()), resources + "Orvane Lite Auto Updater.app");

    EXPECT_EQ(pathOf(helper.destinationOfUpdaterSystemPreferencesPListURL()),
              path(updater + "/SystemPreferences/UpdaterSystemPreferences.plist"));
    EXPECT_EQ(pathOf(helper.destinationOfUpdateSchedulerPlist()),
              path(updater + "/SystemPreferences/UpdateScheduler.plist"));
    EXPECT_EQ(pathOf(helper.componentsPListURL()),
              path("Library/Application Support/Orvane/Components/Components.plist"));
    EXPECT_EQ(pathOf(helper.patchesURL()), path(updater + "/Patch"));
    EXPECT_EQ(pathOf(helper.updaterSystemPrefDirURL()), path(updater + "/SystemPreferences"));
    EXPECT_EQ(pathOf(helper.orvaneLiteUpdaterDirectoryURL()), path(updater));
    EXPECT_EQ(pathOf(helper.destinationOfCopyHelperPListURL()),
              path("Library/LaunchDaemons/com.orvane.OrvaneLite.CopyHelper.plist"));
    EXPECT_EQ(pathOf(helper.destinationOfUpdateHelperPListURL()),
              path("Library/LaunchDaemons/com.orvane.OrvaneLite.UpdateHelper.plist"));
    EXPECT_EQ(pathOf(helper.destinationOfOrvaneLiteAutoUpdaterAppPListURL()),
              path("Library/LaunchAgents/com.orvane.OrvaneLite.AutoUpdater.plist"));
    // Nothing but the user folders is created.
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path("Library")));
}

TEST_F(KVLUpdaterPathHelperTest, WithoutTheApplicationResourcesAreNullAndPlacesRemain) {
    KVLUpdaterPathHelper helper;
    EXPECT_EQ(helper.sourceOfUpdaterSystemPreferencesPListURL(), std::nullopt);
    EXPECT_EQ(helper.sourceOfUpdateSchedulerPListURL(), std::nullopt);
    EXPECT_EQ(helper.sourceOfCopyHelperPListURL(), std::nullopt);
    EXPECT_EQ(helper.sourceOfUpdateHelperPListURL(), std::nullopt);
    EXPECT_EQ(helper.sourceOfOrvaneLiteAutoUpdaterAppPListURL(), std::nullopt);
    EXPECT_EQ(helper.updateAssistantBundleURL(), std::nullopt);
    EXPECT_EQ(helper.orvaneLiteAutoUpdaterAppURL(), std::nullopt);
    EXPECT_NE(helper.destinationOfUpdaterSystemPreferencesPListURL(), std::nullopt);
    EXPECT_NE(helper.destinationOfCopyHelperPListURL(), std::nullopt);

    // The bundle is resolved once: installing the application later changes nothing.
    installUpdaterApplication();
    EXPECT_EQ(helper.sourceOfUpdaterSystemPreferencesPListURL(), std::nullopt);
    EXPECT_NE(KVLUpdaterPathHelper().sourceOfUpdaterSystemPreferencesPListURL(), std::nullopt);

    // A missing resource of an installed application is null too.
    ASSERT_TRUE(platform::FileManager::removeItemAtPath(path(app + "Resources/UpdateScheduler.plist")));
    EXPECT_EQ(KVLUpdaterPathHelper().sourceOfUpdateSchedulerPListURL(), std::nullopt);
}

TEST_F(KVLUpdaterPathHelperTest, UserFoldersAreCreatedOnDemand) {
    KVLUpdaterPathHelper helper;
    const std::string user = home() + "/Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater";
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(user));
    bool folder = false;
    EXPECT_EQ(pathOf(helper.updaterLogsURL()), user + "/Logs");
    EXPECT_TRUE(platform::FileManager::fileExistsAtPath(user + "/Logs", &folder) && folder);
    EXPECT_EQ(pathOf(helper.userPatchesURL()), user + "/Patch");
    EXPECT_TRUE(platform::FileManager::fileExistsAtPath(user + "/Patch", &folder) && folder);
    EXPECT_EQ(pathOf(helper.updaterLogsURL()), user + "/Logs");  // an existing folder is fine
    EXPECT_NE(pathOf(helper.patchesURL()), pathOf(helper.userPatchesURL()));
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path(updater + "/Patch")));
}

TEST_F(KVLUpdaterPathHelperTest, SharedInstanceIsOne) {
    EXPECT_EQ(KVLUpdaterPathHelper::sharedInstance(), KVLUpdaterPathHelper::sharedInstance());
}

}  // namespace
