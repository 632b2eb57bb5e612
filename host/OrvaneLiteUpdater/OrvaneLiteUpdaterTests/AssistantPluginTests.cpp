#include "AssistantPlugin.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport/TemporaryRoot.h"

namespace {

namespace fs = std::filesystem;

class AssistantPluginTest : public kvltest::TemporaryRootTest {};

TEST_F(AssistantPluginTest, RefusesAMissingBundleModuleOrEntryPoint) {
    std::string failure;
    EXPECT_EQ(AssistantPlugin::load(path("None.bundle"), &failure), nullptr);
    EXPECT_EQ(failure, "no plug-in bundle at " + path("None.bundle"));

    writeFile("Empty.bundle/Contents/Info.plist",
              "<plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>Module</string></dict></plist>");
    EXPECT_EQ(AssistantPlugin::load(path("Empty.bundle"), &failure), nullptr);
    EXPECT_EQ(failure.rfind("cannot load " + path("Empty.bundle/Contents/MacOS/Module") + ": ", 0), 0u) << failure;

    // A loadable module that is not a plug-in: the platform library.
    const std::string platformLibrary =
        (fs::path(KVL_HOST_PATH).parent_path().parent_path() / "Frameworks/libPlatform.so").string();
    writeFile("Other.bundle/Contents/Info.plist",
              "<plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>Module</string></dict></plist>");
    fs::create_directories(path("Other.bundle/Contents/MacOS"));
    fs::copy_file(platformLibrary, path("Other.bundle/Contents/MacOS/Module"));
    EXPECT_EQ(AssistantPlugin::load(path("Other.bundle"), &failure), nullptr);
    EXPECT_EQ(failure, path("Other.bundle/Contents/MacOS/Module") + " has no entry point KVLUpdateAssistantPluginEntry");
}

TEST_F(AssistantPluginTest, RefusesAPluginOfAnotherInterfaceVersion) {
    writeFile("Newer.bundle/Contents/Info.plist",
              "<plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>Module</string></dict></plist>");
    fs::create_directories(path("Newer.bundle/Contents/MacOS"));
    fs::copy_file(KVL_NEWER_INTERFACE_PLUGIN_PATH, path("Newer.bundle/Contents/MacOS/Module"));
    std::string failure;
    EXPECT_EQ(AssistantPlugin::load(path("Newer.bundle"), &failure), nullptr);
    EXPECT_EQ(failure, path("Newer.bundle/Contents/MacOS/Module") + " speaks interface version 2; this host knows version 1");
}

}  // namespace
