#include <gtest/gtest.h>

#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"
#include "Platform/FileManager.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using Place = std::optional<platform::URL> (KVLUpdaterPathHelper::*)();

constexpr char kResources[] = "Applications/Orvane Lite/Orvane Lite Updater.app/Contents/Resources/";
constexpr char kUpdater[] = "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater";

// Where each place is, under the root; a resource of the application when it is in kResources.
// (The destinations of the installed files are checked by the installation's own tests.)
const std::pair<Place, std::string> kPlaces[] = {
    {&KVLUpdaterPathHelper::sourceOfUpdaterSystemPreferencesPListURL, "UpdaterSystemPreferences.plist"},
    {&KVLUpdaterPathHelper::sourceOfUpdateSchedulerPListURL, "UpdateScheduler.plist"},
    {&KVLUpdaterPathHelper::sourceOfCopyHelperPListURL, "LaunchServices/com.orvane.OrvaneLite.CopyHelper.plist"},
    {&KVLUpdaterPathHelper::sourceOfUpdateHelperPListURL, "LaunchServices/com.orvane.OrvaneLite.UpdateHelper.plist"},
    {&KVLUpdaterPathHelper::sourceOfOrvaneLiteAutoUpdaterAppPListURL,
     "LaunchServices/com.orvane.OrvaneLite.AutoUpdater.plist"},
    {&KVLUpdaterPathHelper::updateAssistantBundleURL, "UpdateAssistant.bundle"},
    {&KVLUpdaterPathHelper::orvaneLiteAutoUpdaterAppURL, "Orvane Lite Auto Updater.app"},
    {&KVLUpdaterPathHelper::componentsPListURL, "Library/Application Support/Orvane/Components/Components.plist"},
    {&KVLUpdaterPathHelper::patchesURL, std::string(kUpdater) + "/Patch"},
    {&KVLUpdaterPathHelper::updaterSystemPrefDirURL, std::string(kUpdater) + "/SystemPreferences"},
};
constexpr std::size_t kResourceCount = 7;

class KVLUpdaterPathHelperTest : public kvltest::TemporaryRootTest {
protected:
    void installUpdaterApplication() {
        writeBundle("Applications/Orvane Lite/Orvane Lite Updater.app", "com.orvane.OrvaneLite.Updater");
        for (std::size_t i = 0; i < kResourceCount; ++i) {
            writeFile(kResources + kPlaces[i].second + (i >= 5 ? "/Contents/Info.plist" : ""), "x");
        }
    }
    // Each place a helper gives ("(null)" for none) against where it should be.
    void expectPlaces(KVLUpdaterPathHelper& helper, bool installed) const {
        for (std::size_t i = 0; i < std::size(kPlaces); ++i) {
            const auto url = (helper.*kPlaces[i].first)();
            const bool resource = i < kResourceCount;
            EXPECT_EQ(url ? url->path() : "(null)",
                      resource && !installed ? "(null)" : path((resource ? kResources : "") + kPlaces[i].second))
                << kPlaces[i].second;
        }
    }
};

TEST_F(KVLUpdaterPathHelperTest, ResourcesNeedTheApplicationAndThePlacesOfTheMachineDoNot) {
    KVLUpdaterPathHelper missing;
    expectPlaces(missing, false);
    installUpdaterApplication();
    KVLUpdaterPathHelper installed;
    expectPlaces(installed, true);
    expectPlaces(missing, false);                                            // the bundle is resolved once
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path("Library")));  // nothing is created

    // A missing resource of an installed application is null too.
    ASSERT_TRUE(platform::FileManager::removeItemAtPath(path(std::string(kResources) + "UpdateScheduler.plist")));
    EXPECT_EQ(KVLUpdaterPathHelper().sourceOfUpdateSchedulerPListURL(), std::nullopt);
}

TEST_F(KVLUpdaterPathHelperTest, UserFoldersAreCreatedOnDemand) {
    KVLUpdaterPathHelper helper;
    const std::string user = home() + "/Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater";
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(user));
    bool logs = false, patches = false;
    EXPECT_EQ(helper.updaterLogsURL()->path(), user + "/Logs");
    EXPECT_EQ(helper.userPatchesURL()->path(), user + "/Patch");
    EXPECT_TRUE(platform::FileManager::fileExistsAtPath(user + "/Logs", &logs) && logs);
    EXPECT_TRUE(platform::FileManager::fileExistsAtPath(user + "/Patch", &patches) && patches);
    EXPECT_EQ(helper.updaterLogsURL()->path(), user + "/Logs");  // an existing folder is fine
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path(std::string(kUpdater) + "/Patch")));
}

}  // namespace
