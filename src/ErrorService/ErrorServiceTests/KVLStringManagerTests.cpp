#include "ErrorService/Private/KVLStringManager.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "ErrorService/Private/KVLInternalError.h"
#include "TestSupport/ConsoleCapture.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

constexpr char kTable[] = "KVLUpdaterAssistantStrings";
constexpr char kSourcePath[] = "src/ErrorService/ErrorService/Private/KVLStringManager";
const std::string kLanguagePack =
    "You do not have latest Language Pack, please contact Orvane for latest Language Pack";

// A bundle folder in a fresh temporary directory: Strings.bundle/Contents/Resources with
// en.lproj and fr.lproj tables.
class KVLStringManagerTest : public kvltest::TemporaryRootTest {
protected:
    void SetUp() override {
        bundle_ = path("Strings.bundle");
        write("en.lproj/KVLUpdaterAssistantStrings.strings",
              "/* English */\n"
              "\"-17000\" = \"Unable to load %@\";\n"
              "\"17\" = \"Seventeen %d\";\n"
              "\"greeting\" = \"Hello %@, you have %d updates\";\n"
              "\"only.en\" = \"English only %d\";\n"
              "\"same\" = \"same\";\n");
        write("fr.lproj/KVLUpdaterAssistantStrings.strings",
              "\"-17000\" = \"Impossible de charger %@\";\n"
              "\"17\" = \"Dix-sept %d\";\n"
              "\"greeting\" = \"Bonjour %@, vous avez %d mises à jour\";\n");
    }
    void write(const std::string& relative, const std::string& text) const {
        writeFile(bundle_ + "/Contents/Resources/" + relative, text);
    }

    std::unique_ptr<KVLStringManager> loaded(const char* defaultId, const char* localeId) {
        auto manager = std::make_unique<KVLStringManager>(defaultId, localeId);
        KVLInternalError error;
        manager->loadBundleFromFile(bundle_, std::string(kTable), &error);
        EXPECT_TRUE(error.isSuccess()) << error.description();
        return manager;
    }

    std::string bundle_;
};

TEST_F(KVLStringManagerTest, SameLanguagesOrAMissingLocaleFolderMakeEveryLookupEnglish) {
    kvltest::ConsoleCapture console;
    std::string fillIn;
    EXPECT_EQ(loaded("en", "en")->getStringForId(-17000, &fillIn, "the plug-in"), "Unable to load the plug-in");
    EXPECT_EQ(fillIn, "Unable to load the plug-in");
    EXPECT_TRUE(console.messages().empty());
    EXPECT_EQ(loaded("en", "de")->getStringForId(17, &fillIn, 1), "Seventeen 1");
    EXPECT_EQ(console.messages(), std::vector<std::string>{"Kenvault :: Unable to load Locale Bundle."});
}

TEST_F(KVLStringManagerTest, LocaleTextIsReturnedWithTheEnglishTextAppendedToTheFillIn) {
    const auto manager = loaded("en", "fr");

    std::string fillIn = "Before:";
    EXPECT_EQ(manager->getStringForKey("greeting", &fillIn, "Ana", 2), "Bonjour Ana, vous avez 2 mises à jour");
    EXPECT_EQ(fillIn, "Before:Hello Ana, you have 2 updates");
    EXPECT_EQ(manager->getStringForId(17, nullptr, 5), "Dix-sept 5");

    // Missing only in the locale table: the English text, once in the fill-in.
    fillIn.clear();
    EXPECT_EQ(manager->getStringForKey("only.en", &fillIn, 4), "English only 4");
    EXPECT_EQ(fillIn, "English only 4");

    // Missing in both, or present only as its own key: the unformatted language-pack message.
    fillIn = "x";
    EXPECT_EQ(manager->getStringForKey("absent %d", &fillIn, 1), kLanguagePack);
    EXPECT_EQ(fillIn, "x" + kLanguagePack);
    EXPECT_EQ(manager->getStringForKey("same", nullptr), kLanguagePack);
}

// A bundle that cannot be loaded as asked: the record, its console line, and which bundles
// the manager keeps.
struct LoadFailure {
    const char* defaultLanguage;
    bool missingBundle;
    const char* table;
    std::int64_t code;
    std::string message;
    std::string console;
    bool keepsMainBundle;
};

TEST_F(KVLStringManagerTest, EachBundleThatCannotBeLoadedFailsWithItsCode) {
    write("it.lproj", "a file where the folder should be");
    const std::string italian = bundle_ + "/Contents/Resources/it.lproj";
    const LoadFailure failures[] = {
        {"en", true, kTable, -17000, "Unable to load Main Bundle", "Unable to load Main Bundle", false},
        {"es", false, kTable, -17001, "Unable to load Default Bundle at path (null)",
         "Unable to load Default Bundle at path: (null)", true},
        {"it", false, kTable, -17001, "Unable to load Default Bundle at path " + italian,
         "Unable to load Default Bundle at path: " + italian, true},
        {"en", false, "NoSuchTable", -17006, "Unable to find given Strings File", "Unable to find given Strings File",
         true},
    };
    for (const LoadFailure& failure : failures) {
        kvltest::ConsoleCapture console;
        KVLStringManager manager(failure.defaultLanguage, "fr");
        KVLInternalError error;
        manager.loadBundleFromFile(failure.missingBundle ? path("Missing.bundle") : bundle_, std::string(failure.table),
                                   &error);
        EXPECT_EQ(std::tuple(error.getErrorCode(), error.getDescription(), error.getErrorType(), error.getFileName()),
                  std::tuple(failure.code, failure.message, KVLInternalErrorTypeInternal, kSourcePath));
        EXPECT_EQ(console.messages(), std::vector<std::string>{"Kenvault :: " + failure.console});
        EXPECT_EQ(manager.mMainBundle() != nullptr, failure.keepsMainBundle) << failure.message;
        EXPECT_EQ(manager.mStringsFileName(), std::nullopt) << failure.message;
    }
    KVLStringManager("en", "fr").loadBundleFromFile(std::nullopt, std::nullopt, nullptr);  // no record to fill
}

TEST_F(KVLStringManagerTest, WithoutATableNameTheDefaultTableIsUsedUnchecked) {
    KVLStringManager manager("en", "fr");
    EXPECT_EQ(manager.getStringForId(17, nullptr, 1), kLanguagePack);  // before any load
    KVLInternalError error;
    manager.loadBundleFromFile(bundle_, std::nullopt, &error);
    EXPECT_TRUE(error.isSuccess());
    EXPECT_EQ(manager.mStringsFileName(), "KVLStringResources");
    EXPECT_EQ(manager.getStringForId(17, nullptr, 1), kLanguagePack);

    write("fr.lproj/KVLStringResources.strings", "\"17\" = \"dix-sept\";");
    write("en.lproj/KVLStringResources.strings", "\"17\" = \"seventeen\";");
    KVLStringManager fresh("en", "fr");
    fresh.loadBundleFromFile(bundle_, std::nullopt, &error);
    std::string fillIn;
    EXPECT_EQ(fresh.getStringForId(17, &fillIn), "dix-sept");
    EXPECT_EQ(fillIn, "seventeen");
}

}  // namespace
