#include "Platform/Bundle.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::Bundle;

const char kInfo[] =
    "<plist><dict><key>CFBundleIdentifier</key><string>com.orvane.test</string>"
    "<key>CFBundleVersion</key><integer>7</integer></dict></plist>";

class BundleTest : public kvltest::TemporaryRootTest {};

TEST_F(BundleTest, OpensFoldersAndReadsTheirInformationFile) {
    writeFile("file", "x");
    for (const std::string& unusable : {path("missing"), path("file"), std::string()}) {
        EXPECT_EQ(Bundle::bundleWithPath(unusable), nullptr) << unusable;
    }
    const auto bare = Bundle::bundleWithPath(root() + "/./");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(std::tuple(bare->bundlePath(), bare->resourcePath(), bare->bundleIdentifier()),
              std::tuple(root(), root(), std::optional<std::string>()));

    // A bundle with Contents keeps its information and resources there, not at its top.
    writeFile("App.app/Contents/Info.plist", kInfo);
    writeFile("App.app/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>top</string></dict></plist>");
    const auto bundle = Bundle::bundleWithPath(path("App.app"));
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->bundleIdentifier(), "com.orvane.test");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleVersion"), platform::PlistValue(7));
    EXPECT_EQ(bundle->resourcePath(), path("App.app/Contents/Resources"));
    writeFile("Flat/Info.plist", kInfo);
    EXPECT_EQ(Bundle::bundleWithPath(path("Flat"))->bundleIdentifier(), "com.orvane.test");
    writeFile("Broken/Info.plist", std::string(kInfo).substr(0, 60));
    EXPECT_TRUE(Bundle::bundleWithPath(path("Broken"))->infoDictionary().empty());
}

TEST_F(BundleTest, ResourceSearchPrefersTheResourceFolderThenEnThenBaseThenByName) {
    const std::string resources = "B.bundle/Contents/Resources/";
    for (const char* file :
         {"top.txt", "en.lproj/top.txt", "en.lproj/a.txt", "Base.lproj/a.txt", "Base.lproj/b.txt", "de.lproj/b.txt",
          "de.lproj/c.txt", "fr.lproj/c.txt", "fr.lproj/Sub/d.txt", "Sub/e", "de.lproj/Sub/e"}) {
        writeFile(resources + file, "x");
    }
    const auto bundle = Bundle::bundleWithPath(path("B.bundle"));
    ASSERT_NE(bundle, nullptr);
    const std::string base = path(resources);
    EXPECT_EQ(bundle->pathForResource("top", "txt"), base + "top.txt");
    EXPECT_EQ(bundle->pathForResource("a", "txt"), base + "en.lproj/a.txt");
    EXPECT_EQ(bundle->pathForResource("b", "txt"), base + "Base.lproj/b.txt");
    EXPECT_EQ(bundle->pathForResource("c.txt", std::nullopt), base + "de.lproj/c.txt");
    EXPECT_EQ(bundle->pathForResource("d", "txt", "Sub"), base + "fr.lproj/Sub/d.txt");
    EXPECT_EQ(bundle->pathForResource("e", "", "Sub"), base + "Sub/e");
    EXPECT_EQ(bundle->pathForResource("d", "txt"), std::nullopt);
}

TEST_F(BundleTest, LocalizedStringsFollowTheSearchOrderAndAreReadOnce) {
    writeFile("L/Localizable.strings", "\"top\" = \"from top\";");
    writeFile("L/en.lproj/Localizable.strings", "\"top\" = \"from en\"; \"hello\" = \"Hello\";");
    writeFile("L/fr.lproj/Localizable.strings", "\"hello\" = \"Bonjour\"; \"only.fr\" = \"Seulement\";");
    writeFile("L/en.lproj/Errors.strings", "\"-17000\" = \"Unable to load %@\";");
    writeFile("L/de.lproj/Errors.strings", "\"broken\" = \"no semicolon\"");
    const auto bundle = Bundle::bundleWithPath(path("L"));
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->localizedStringForKey("top", std::nullopt, std::nullopt), "from top");
    EXPECT_EQ(bundle->localizedStringForKey("hello", "", ""), "Hello");
    EXPECT_EQ(bundle->localizedStringForKey("only.fr", "", "Localizable"), "Seulement");
    EXPECT_EQ(bundle->localizedStringForKey("broken", "", "Errors"), "broken");
    EXPECT_EQ(bundle->localizedStringForKey("missing", "fallback", "Errors"), "fallback");

    // The table was read on first use; later changes to the file are not seen.
    EXPECT_EQ(bundle->localizedStringForKey("-17000", "", "Errors"), "Unable to load %@");
    writeFile("L/en.lproj/Errors.strings", "\"-17000\" = \"changed\";");
    EXPECT_EQ(bundle->localizedStringForKey("-17000", "", "Errors"), "Unable to load %@");
    EXPECT_EQ(Bundle::bundleWithPath(path("L"))->localizedStringForKey("-17000", "", "Errors"), "changed");
}

// A module in Contents/MacOS belongs to the bundle around Contents (the plug-in's tests find
// their strings so), any other to its folder (the main bundle below).
TEST(Bundle, OnlyContentsMacOSIsLookedThrough) { EXPECT_EQ(Bundle::bundlePathForModule("/x/MacOS/tool"), "/x/MacOS"); }

TEST_F(BundleTest, MainBundleIsTheExecutablesFolderUnlessSet) {
    const auto main = Bundle::mainBundle();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->bundlePath(), std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    // An address in this program belongs to the main bundle, the very same object.
    EXPECT_EQ(Bundle::bundleForAddress(kInfo), main);
    // One in the platform library belongs to the folder that holds the library.
    const auto library = Bundle::bundleForAddress(reinterpret_cast<const void*>(&Bundle::bundleForAddress));
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->bundlePath().ends_with("/Contents/Frameworks")) << library->bundlePath();
    const auto heap = std::make_unique<int>(0);
    EXPECT_EQ(Bundle::bundleForAddress(heap.get()), nullptr);

    Bundle::setMainBundle(Bundle::bundleWithPath(root()));
    EXPECT_EQ(Bundle::mainBundle()->bundlePath(), root());
    Bundle::setMainBundle(nullptr);
    EXPECT_EQ(Bundle::mainBundle()->bundlePath(), main->bundlePath());
}

}  // namespace
