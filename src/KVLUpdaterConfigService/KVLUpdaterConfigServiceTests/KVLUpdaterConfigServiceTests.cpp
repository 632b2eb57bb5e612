#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterSystemPreferences.h"
#include "Platform/FileManager.h"
#include "Platform/PropertyListSerialization.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

// The service is made once per process from the layout of its first use, so each scenario
// runs in a child process of its own: the child exits 0 when every check held and prints the
// first one that did not.
#define CHILD_CHECK(condition)                                  \
    if (!(condition)) {                                         \
        std::fprintf(stderr, "check failed: %s\n", #condition); \
        std::exit(1);                                           \
    } else                                                      \
        (void)0

class KVLUpdaterConfigServiceTest : public kvltest::TemporaryRootTest {
protected:
    KVLUpdaterConfigServiceTest() { GTEST_FLAG_SET(death_test_style, "fast"); }

    const std::string preferences = path(
        "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater/SystemPreferences/"
        "UpdaterSystemPreferences.plist");
    const std::string schedule = path(
        "Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater/SystemPreferences/UpdateScheduler.plist");

    void writeSettings() const {
        const auto xml = [](const platform::PlistDictionary& dictionary) {
            using platform::PropertyListSerialization;
            return PropertyListSerialization::xmlDataWithPropertyList(platform::PlistValue(dictionary)).value();
        };
        writeFile(preferences, xml({{"LogLevel", platform::PlistValue("0x1000000")},
                                    {"Locale", platform::PlistValue("en_US")},
                                    {"Extra", platform::PlistValue("dropped")}}));
        writeFile(schedule, xml(scheduleDictionary));
    }

    // Every value distinct, so that a value under the wrong key shows.
    const platform::PlistDictionary scheduleDictionary{
        {"Next Update Time", platform::PlistValue("2026-12-06T02:00:00+0000")},
        {"Update Duration", platform::PlistValue("1")},
        {"Update Check Start Time 24hr Format", platform::PlistValue("22:00")},
        {"Update Check End Time 24hr Format", platform::PlistValue("02:00")}};
};

TEST_F(KVLUpdaterConfigServiceTest, WithoutSettingsFilesTheRecordsAreNullAndNothingIsWritten) {
    EXPECT_EXIT(
        {
            const auto service = KVLUpdaterConfigService::sharedInstance();
            CHILD_CHECK(service->updaterSystemPreferences() == nullptr);
            CHILD_CHECK(service->updateScheduler() == nullptr);
            const auto record = KVLUpdaterSystemPreferences::initWithDictionary(platform::PlistDictionary{
                {"LogLevel", platform::PlistValue("8")}, {"Locale", platform::PlistValue("fr_FR")}});
            CHILD_CHECK(!record->writeToUpdaterSystemPreferencesPlist());  // into a missing folder
            CHILD_CHECK(!platform::FileManager::fileExistsAtPath(preferences));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(KVLUpdaterConfigServiceTest, SettingsAreReadOnceAndWrittenBackWhole) {
    writeSettings();
    EXPECT_EXIT(
        {
            const auto service = KVLUpdaterConfigService::sharedInstance();
            const auto preferencesRecord = service->updaterSystemPreferences();
            const auto scheduler = service->updateScheduler();
            CHILD_CHECK(preferencesRecord && scheduler);
            CHILD_CHECK(static_cast<std::uint32_t>(preferencesRecord->logLevel()) == 0xF1000000);

            // A snapshot: a later change on disk is not seen.
            writeFile(preferences, "not a property list");
            CHILD_CHECK(KVLUpdaterConfigService::sharedInstance()->updaterSystemPreferences()->mstrLocale() == "en_US");

            preferencesRecord->setMstrLogLevel("8");
            CHILD_CHECK(preferencesRecord->writeToUpdaterSystemPreferencesPlist());
            const auto written = platform::PropertyListSerialization::dictionaryWithContentsOfFile(preferences);
            CHILD_CHECK(written == (platform::PlistDictionary{{"LogLevel", platform::PlistValue("8")},
                                                              {"Locale", platform::PlistValue("en_US")}}));
            preferencesRecord->setMstrLocale(std::nullopt);  // a field missing: nothing written
            CHILD_CHECK(!preferencesRecord->writeToUpdaterSystemPreferencesPlist());
            CHILD_CHECK(platform::PropertyListSerialization::dictionaryWithContentsOfFile(preferences) == written);

            platform::PlistDictionary handed;
            std::string destination;
            CHILD_CHECK(scheduler->writeToUpdateSchedulerPlist(
                [&](const platform::PlistDictionary& dictionary, const platform::URL& url) {
                    handed = dictionary;
                    destination = url.path();
                    return true;
                }));
            CHILD_CHECK(destination == schedule);
            CHILD_CHECK(handed == scheduleDictionary);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

std::uint32_t levelOf(const std::optional<std::string>& text) {
    KVLUpdaterSystemPreferences preferences;
    preferences.setMstrLogLevel(text);
    return static_cast<std::uint32_t>(preferences.logLevel());
}

TEST(KVLUpdaterSystemPreferences, LogLevelTextMapsToAMaskWithTheInfoBits) {
    struct Row {
        std::optional<std::string> text;
        std::uint32_t level;
    };
    const Row rows[] = {
        {std::nullopt, 0xF0000000},  {"info", 0xF0000000},       {"0x10", 0xF0000000},       {"8", 0xF0000008},
        {"0X01000000", 0xF1000000},  {"16777224", 0xF1000008},   {"0x70000000", 0xF0000000}, {"-1", 0xFFFFFFFF},
        {"0x123456789", 0xFFFFFFFF}, {"4026531840", 0xF0000000}, {" 0x8", 0xF0000000},       {"  8 apples", 0xF0000008},
        {"0xZZ", 0xF0000000},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(levelOf(row.text), row.level) << row.text.value_or("(null)");
    }
    EXPECT_TRUE(KVLUpdaterSystemPreferences::validateLogLevel(0xFFFFFFFF));
    EXPECT_FALSE(KVLUpdaterSystemPreferences::validateLogLevel(0xFFFFFFFE));
}

TEST(KVLUpdaterSystemPreferences, RecordsComeOnlyFromDictionaries) {
    EXPECT_EQ(KVLUpdaterSystemPreferences::initWithDictionary(std::nullopt), nullptr);
    const auto record = KVLUpdaterSystemPreferences::initWithDictionary(
        platform::PlistDictionary{{"LogLevel", platform::PlistValue(8)}, {"Other", platform::PlistValue("x")}});
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->mstrLogLevel(), "8");  // a number stored by hand still reads as its text
    EXPECT_EQ(record->mstrLocale(), std::nullopt);
}

}  // namespace
