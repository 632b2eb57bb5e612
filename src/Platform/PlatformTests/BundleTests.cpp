#include "Platform/Bundle.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestFolder.h"

namespace {

using platform::Bundle;
using platformtest::TestFolder;

const char kInfo[] =
    "<plist><dict><key>CFBundleIdentifier</key><string>com.orvane.test</string>"
    "<key>CFBundleVersion</key><integer>7</integer></dict></plist>";

TEST(Bundle, OpensExistingFoldersOnly) {
    TestFolder folder;
    folder.write("file", "x");
    EXPECT_EQ(Bundle::bundleWithPath(folder / "missing"), nullptr);
    EXPECT_EQ(Bundle::bundleWithPath(folder / "file"), nullptr);
    EXPECT_EQ(Bundle::bundleWithPath(""), nullptr);

    const auto bundle = Bundle::bundleWithPath(folder.path() + "/./");
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->bundlePath(), folder.path());
    EXPECT_EQ(bundle->resourcePath(), folder.path());
    EXPECT_TRUE(bundle->infoDictionary().empty());
    EXPECT_EQ(bundle->bundleIdentifier(), std::nullopt);
}

TEST(Bundle, ContentsBundleKeepsItsInfoAndResourcesInsideContents) {
    TestFolder folder;
    folder.write("App.app/Contents/Info.plist", kInfo);
    folder.write("App.app/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>top</string></dict></plist>");
    folder.write("App.app/Contents/Resources/Settings.plist", "x");
    const auto bundle = Bundle::bundleWithPath(folder / "App.app");
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->bundleIdentifier(), "com.orvane.test");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleVersion"), platform::PlistValue(7));
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("Missing"), std::nullopt);
    EXPECT_EQ(bundle->resourcePath(), folder / "App.app/Contents/Resources");
    EXPECT_EQ(bundle->pathForResource("Settings", "plist"), folder / "App.app/Contents/Resources/Settings.plist");

    // A flat bundle reads Info.plist at its top; a broken one gives an empty dictionary.
    folder.write("Flat/Info.plist", kInfo);
    EXPECT_EQ(Bundle::bundleWithPath(folder / "Flat")->bundleIdentifier(), "com.orvane.test");
    folder.write("Broken/Info.plist", std::string(kInfo).substr(0, 60));
    EXPECT_TRUE(Bundle::bundleWithPath(folder / "Broken")->infoDictionary().empty());
}

TEST(Bundle, ResourceSearchPrefersTheResourceFolderThenEnThenBaseThenByName) {
    TestFolder folder;
    const std::string resources = "B.bundle/Contents/Resources/";
    for (const char* file : {"top.txt", "en.lproj/top.txt", "en.lproj/a.txt", "Base.lproj/a.txt", "Base.lproj/b.txt",
                             "de.lproj/b.txt", "de.lproj/c.txt", "fr.lproj/c.txt", "fr.lproj/Sub/d.txt", "Sub/e",
                             "de.lproj/Sub/e"}) {
        folder.write(resources + file, "x");
    }
    const auto bundle = Bundle::bundleWithPath(folder / "B.bundle");
    ASSERT_NE(bundle, nullptr);
    const std::string base = folder / resources;
    EXPECT_EQ(bundle->pathForResource("top", "txt"), base + "top.txt");
    EXPECT_EQ(bundle->pathForResource("a", "txt"), base + "en.lproj/a.txt");
    EXPECT_EQ(bundle->pathForResource("b", "txt"), base + "Base.lproj/b.txt");
    EXPECT_EQ(bundle->pathForResource("c", "txt"), base + "de.lproj/c.txt");
    EXPECT_EQ(bundle->pathForResource("c.txt", std::nullopt), base + "de.lproj/c.txt");
    EXPECT_EQ(bundle->pathForResource("fr", "lproj"), base + "fr.lproj");
    EXPECT_EQ(bundle->pathForResource("d", "txt", "Sub"), base + "fr.lproj/Sub/d.txt");
    EXPECT_EQ(bundle->pathForResource("e", "", "Sub"), base + "Sub/e");
    EXPECT_EQ(bundle->pathForResource("d", "txt"), std::nullopt);
    EXPECT_EQ(bundle->pathForResource("c", "strings"), std::nullopt);
    EXPECT_EQ(bundle->pathForResource("", "txt"), std::nullopt);
}

TEST(Bundle, LocalizedStringsFollowTheSearchOrderAndAreReadOnce) {
    TestFolder folder;
    folder.write("L/Localizable.strings", "\"top\" = \"from top\";");
    folder.write("L/en.lproj/Localizable.strings", "\"top\" = \"from en\"; \"hello\" = \"Hello\";");
    folder.write("L/fr.lproj/Localizable.strings", "\"hello\" = \"Bonjour\"; \"only.fr\" = \"Seulement\";");
    folder.write("L/en.lproj/Errors.strings", "\"-17000\" = \"Unable to load %@\";");
    folder.write("L/de.lproj/Errors.strings", "\"broken\" = \"no semicolon\"");
    const auto bundle = Bundle::bundleWithPath(folder / "L");
    ASSERT_NE(bundle, nullptr);

    EXPECT_EQ(bundle->localizedStringForKey("top", std::nullopt, std::nullopt), "from top");
    EXPECT_EQ(bundle->localizedStringForKey("hello", "", ""), "Hello");
    EXPECT_EQ(bundle->localizedStringForKey("only.fr", "", "Localizable"), "Seulement");
    EXPECT_EQ(bundle->localizedStringForKey("-17000", "", "Errors"), "Unable to load %@");
    EXPECT_EQ(bundle->localizedStringForKey("broken", "", "Errors"), "broken");
    EXPECT_EQ(bundle->localizedStringForKey("missing", "fallback", "Errors"), "fallback");
    EXPECT_EQ(bundle->localizedStringForKey("missing", "", "Errors"), "missing");
    EXPECT_EQ(bundle->localizedStringForKey("missing", std::nullopt, "NoSuchTable"), "missing");

    // The table was read on first use; later changes to the file are not seen.
    folder.write("L/en.lproj/Errors.strings", "\"-17000\" = \"changed\";");
    EXPECT_EQ(bundle->localizedStringForKey("-17000", "", "Errors"), "Unable to load %@");
    EXPECT_EQ(Bundle::bundleWithPath(folder / "L")->localizedStringForKey("-17000", "", "Errors"), "changed");

    // A language folder opened by itself is its own resource folder.
    const auto french = Bundle::bundleWithPath(folder / "L/fr.lproj");
    ASSERT_NE(french, nullptr);
    EXPECT_EQ(french->resourcePath(), folder / "L/fr.lproj");
    EXPECT_EQ(french->localizedStringForKey("hello", "", std::nullopt), "Bonjour");
    EXPECT_EQ(french->localizedStringForKey("top", "", std::nullopt), "top");
}

TEST(Bundle, ModuleFolderRule) {
    EXPECT_EQ(Bundle::bundlePathForModule("/x/Orvane Lite Updater.app/Contents/MacOS/Orvane Lite Updater"),
              "/x/Orvane Lite Updater.app");
    EXPECT_EQ(Bundle::bundlePathForModule("/x/UpdateAssistant.bundle/Contents/MacOS/UpdateAssistant"),
              "/x/UpdateAssistant.bundle");
    EXPECT_EQ(Bundle::bundlePathForModule("/x/App.app/Contents/Frameworks/libPlatform.so"),
              "/x/App.app/Contents/Frameworks");
    EXPECT_EQ(Bundle::bundlePathForModule("/x/MacOS/tool"), "/x/MacOS");
    EXPECT_EQ(Bundle::bundlePathForModule("/usr/bin/tool"), "/usr/bin");
}

TEST(Bundle, MainBundleIsTheExecutablesFolderUnlessSet) {
    const auto main = Bundle::mainBundle();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Bundle::mainBundle(), main);
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(main->bundlePath(), std::filesystem::path(executable).parent_path().string());

    // An address in this program belongs to the main bundle, the very same object.
    EXPECT_EQ(Bundle::bundleForAddress(kInfo), main);
    // One in the platform library belongs to the folder that holds the library.
    const auto library = Bundle::bundleForAddress(reinterpret_cast<const void*>(&Bundle::bundleForAddress));
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->bundlePath().ends_with("/Contents/Frameworks")) << library->bundlePath();
    EXPECT_EQ(Bundle::bundleForAddress(nullptr), nullptr);
    const auto heap = std::make_unique<int>(0);
    EXPECT_EQ(Bundle::bundleForAddress(heap.get()), nullptr);

    TestFolder folder;
    const auto host = Bundle::bundleWithPath(folder.path());
    Bundle::setMainBundle(host);
    EXPECT_EQ(Bundle::mainBundle(), host);
    Bundle::setMainBundle(nullptr);
    EXPECT_EQ(Bundle::mainBundle()->bundlePath(), main->bundlePath());
}

}  // namespace
