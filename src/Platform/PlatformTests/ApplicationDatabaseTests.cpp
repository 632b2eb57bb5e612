#include "Platform/ApplicationDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "Platform/Task.h"
#include "TestSupport/SleepingChild.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::ApplicationDatabase;
using platform::URL;

class ApplicationDatabaseTest : public kvltest::TemporaryRootTest {
protected:
    // "<root>/Applications/<name>.app" with the identifier and the other entries given.
    URL makeApplication(const std::string& name, const std::string& identifier, const std::string& entries = "") const {
        return URL::fileURLWithPath(writeBundle("Applications/" + name + ".app", identifier, entries), true);
    }
    static std::string documentTypesEntry(const std::string& role, const std::string& type) {
        return "<key>CFBundleDocumentTypes</key><array><dict>" +
               (role.empty() ? "" : "<key>CFBundleTypeRole</key><string>" + role + "</string>") +
               "<key>LSItemContentTypes</key><array><string>" + type + "</string></array></dict></array>";
    }
};

TEST_F(ApplicationDatabaseTest, RegistrationNeedsAFolderWithAnIdentifier) {
    EXPECT_EQ(ApplicationDatabase::databasePath(), root() + "/Library/Preferences/com.orvane.lsregister.plist");
    writeFile("Applications/Unnamed.app/Contents/Info.plist",
              "<plist><dict><key>CFBundleName</key><string>U</string></dict></plist>");
    writeFile("Applications/File.app", "not a folder");
    const std::pair<const char*, std::int32_t> refused[] = {{"None", ApplicationDatabase::kFileNotFound},
                                                            {"File", ApplicationDatabase::kFileNotFound},
                                                            {"Unnamed", ApplicationDatabase::kApplicationNotFound}};
    for (const auto& [name, code] : refused) {
        EXPECT_EQ(ApplicationDatabase::registerURL(URL::fileURLWithPath(path("Applications/") + name + ".app"), true),
                  code)
            << name;
    }
    // Nothing was recorded, so nothing was written.
    EXPECT_FALSE(std::filesystem::exists(ApplicationDatabase::databasePath()));

    const URL app = makeApplication("Tool", "com.example.tool");
    EXPECT_EQ(ApplicationDatabase::registerURL(app, true), ApplicationDatabase::kNoError);
    EXPECT_EQ(ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.tool"), std::vector<URL>{app});
    EXPECT_TRUE(std::filesystem::exists(ApplicationDatabase::databasePath()));
}

TEST_F(ApplicationDatabaseTest, ApplicationsAreListedInRecordedOrderWhileTheyExist) {
    const URL first = makeApplication("First", "com.example.same");
    const URL second = makeApplication("Second", "com.example.same");
    ASSERT_EQ(ApplicationDatabase::registerURL(second, false), 0);
    ASSERT_EQ(ApplicationDatabase::registerURL(first, false), 0);
    ASSERT_EQ(ApplicationDatabase::registerURL(second, true), 0);  // keeps its place
    EXPECT_EQ(ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.same"),
              (std::vector<URL>{second, first}));
    std::filesystem::remove_all(second.path());
    EXPECT_EQ(ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.same"), std::vector<URL>{first});
}

TEST_F(ApplicationDatabaseTest, ADamagedDatabaseIsMovedAsideAndAnUnwritableOneFailsRegistration) {
    writeFile("Library/Preferences/com.orvane.lsregister.plist", "<plist><dict><key>");
    const URL app = makeApplication("Tool", "com.example.tool");
    EXPECT_TRUE(ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.tool").empty());
    platform::Error error;
    EXPECT_EQ(ApplicationDatabase::registerURL(app, false, &error), ApplicationDatabase::kUnknownError);
    EXPECT_NE(error.localizedDescription.find(" is damaged ("), std::string::npos) << error.localizedDescription;
    const auto aside = std::filesystem::directory_iterator(path("Library/Preferences"))->path().string();
    EXPECT_NE(error.localizedDescription.find("; it was moved aside to " + aside + "."), std::string::npos);
    EXPECT_EQ(readFile(aside), "<plist><dict><key>");
    EXPECT_EQ(ApplicationDatabase::registerURL(app, false), ApplicationDatabase::kNoError);
    EXPECT_EQ(ApplicationDatabase::applicationURLsForBundleIdentifier("com.example.tool"), std::vector<URL>{app});

    std::filesystem::remove_all(path("Library/Preferences"));
    writeFile("Library/Preferences", "a file where the folder should be");
    EXPECT_EQ(ApplicationDatabase::registerURL(app, true), ApplicationDatabase::kUnknownError);
    EXPECT_EQ(ApplicationDatabase::setDefaultRoleHandlerForContentType("public.png", "com.example.tool"),
              ApplicationDatabase::kUnknownError);
}

TEST_F(ApplicationDatabaseTest, DefaultHandlerComesFromTheChoiceThenFromDocumentTypes) {
    const URL viewer = makeApplication("Viewer", "com.example.viewer", documentTypesEntry("Viewer", "public.png"));
    const URL editor = makeApplication("Editor", "com.example.editor", documentTypesEntry("", "public.png"));
    ASSERT_EQ(ApplicationDatabase::registerURL(viewer, true), 0);
    ASSERT_EQ(ApplicationDatabase::registerURL(editor, true), 0);

    EXPECT_EQ(ApplicationDatabase::defaultRoleHandlerForContentType("public.png", ApplicationDatabase::RoleAll),
              "com.example.viewer");
    // A type without a role serves every role.
    EXPECT_EQ(ApplicationDatabase::defaultRoleHandlerForContentType("public.png", ApplicationDatabase::RoleEditor),
              "com.example.editor");

    // A changed information file counts only once the bundle is registered again with update.
    makeApplication("Viewer", "com.example.viewer", documentTypesEntry("Viewer", "public.jpeg"));
    ASSERT_EQ(ApplicationDatabase::registerURL(viewer, false), 0);
    EXPECT_EQ(ApplicationDatabase::defaultRoleHandlerForContentType("public.jpeg", ApplicationDatabase::RoleAll),
              std::nullopt);
    ASSERT_EQ(ApplicationDatabase::registerURL(viewer, true), 0);
    EXPECT_EQ(ApplicationDatabase::defaultRoleHandlerForContentType("public.jpeg", ApplicationDatabase::RoleViewer),
              "com.example.viewer");

    ASSERT_EQ(ApplicationDatabase::setDefaultRoleHandlerForContentType("public.png", "com.example.chosen"), 0);
    EXPECT_EQ(ApplicationDatabase::defaultRoleHandlerForContentType("public.png", ApplicationDatabase::RoleShell),
              "com.example.chosen");
    // A removed application handles nothing.
    std::filesystem::remove_all(viewer.path());
    EXPECT_EQ(ApplicationDatabase::defaultRoleHandlerForContentType("public.jpeg", ApplicationDatabase::RoleAll),
              std::nullopt);
}

TEST_F(ApplicationDatabaseTest, ExtensionsMapToPublicTypesOrDynamicIdentifiers) {
    writeFile("mime.types", "# comment\nimage/jpeg\t\tjfif jpe # trailing\ntext/x-made-up  mup\n");
    const std::string previous = ApplicationDatabase::exchangeMediaTypesPath(path("mime.types"));

    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"JPG", "public.jpeg"},
        // Through the media-type list, where its type is a known one.
        {"JFIF", "public.jpeg"},
        // A media type that no public type has leaves the extension to a dynamic identifier.
        {"mup", "dyn.ah62d4rv4ge8047pu"},
        // Anything else is encoded as it was given.
        {"XYZ", "dyn.ah62d4rv4ge8zu0n4"},
        {"t\xC3\xABxt", "dyn.ah62d4rv4ge81mu7ptb4a"},
        {"", std::nullopt},
    };
    for (const auto& [extension, identifier] : cases) {
        EXPECT_EQ(ApplicationDatabase::preferredIdentifierForFilenameExtension(extension), identifier) << extension;
    }
    EXPECT_EQ(ApplicationDatabase::exchangeMediaTypesPath(previous), path("mime.types"));
}

TEST_F(ApplicationDatabaseTest, RunningApplicationsAreFoundByTheirBundleExecutable) {
    const URL app =
        makeApplication("Runner", "com.example.runner", "<key>CFBundleExecutable</key><string>Runner</string>");
    const std::string executable = kvltest::installTestExecutable(app.path(), "Runner");
    const std::string other = kvltest::installTestExecutable(app.path(), "Other");

    const auto arguments = kvltest::sleepingChildArguments();
    auto first = std::make_unique<platform::Task>(executable, arguments);
    platform::Task second(executable, arguments);
    platform::Task undeclared(other, arguments);
    ASSERT_EQ(first->launch(), std::nullopt);
    ASSERT_EQ(second.launch(), std::nullopt);
    ASSERT_EQ(undeclared.launch(), std::nullopt);
    // The children run the copy once they have executed it.
    std::vector<ApplicationDatabase::RunningApplication> running;
    for (int attempt = 0; attempt < 200 && running.size() < 2; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        running = ApplicationDatabase::runningApplicationsWithBundleIdentifier("com.example.runner");
    }
    ASSERT_EQ(running.size(), 2u);
    const auto [low, high] = std::minmax({first->processIdentifier(), second.processIdentifier()});
    EXPECT_EQ(std::tuple(running[0].processIdentifier, running[1].processIdentifier, running[0].bundleIdentifier,
                         running[0].bundleURL, running[0].executableURL),
              std::tuple(low, high, std::string("com.example.runner"), app, URL::fileURLWithPath(executable, false)));

    first.reset();  // kills and reaps the child
    running = ApplicationDatabase::runningApplicationsWithBundleIdentifier("com.example.runner");
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].processIdentifier, second.processIdentifier());
}

}  // namespace
