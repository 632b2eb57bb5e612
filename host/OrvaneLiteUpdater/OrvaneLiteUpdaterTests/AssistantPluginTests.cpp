#include "AssistantPlugin.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport/TemporaryRoot.h"

namespace {

namespace fs = std::filesystem;

class AssistantPluginTest : public kvltest::TemporaryRootTest {
protected:
    // A bundle whose module is a copy of the file given; answers the module's path.
    std::string bundle(const std::string& name, const std::string& module) const {
        writeFile(name + "/Contents/Info.plist",
                  "<plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>Module</string></dict></plist>");
        fs::create_directories(path(name + "/Contents/MacOS"));
        fs::copy_file(module, path(name + "/Contents/MacOS/Module"));
        return path(name + "/Contents/MacOS/Module");
    }
};

TEST_F(AssistantPluginTest, RefusesAMissingBundleEntryPointOrInterfaceVersion) {
    std::string failure;
    EXPECT_EQ(AssistantPlugin::load(path("None.bundle"), &failure), nullptr);
    EXPECT_EQ(failure, "no plug-in bundle at " + path("None.bundle"));

    // A loadable module that is not a plug-in: the platform library.
    const fs::path platformLibrary = fs::path(KVL_HOST_PATH).parent_path().parent_path() / "Frameworks/libPlatform.so";
    const std::string other = bundle("Other.bundle", platformLibrary.string());
    EXPECT_EQ(AssistantPlugin::load(path("Other.bundle"), &failure), nullptr);
    EXPECT_EQ(failure, other + " has no entry point KVLUpdateAssistantPluginEntry");

    // A plug-in of another interface version.
    const std::string newer = bundle("Newer.bundle", KVL_NEWER_INTERFACE_PLUGIN_PATH);
    EXPECT_EQ(AssistantPlugin::load(path("Newer.bundle"), &failure), nullptr);
    EXPECT_EQ(failure, newer + " speaks interface version 2; this host knows version 1");
}

}  // namespace
