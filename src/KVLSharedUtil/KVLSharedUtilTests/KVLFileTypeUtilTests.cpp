#include "KVLSharedUtil/KVLFileTypeUtil.h"

#include <gtest/gtest.h>

#include "Platform/ApplicationDatabase.h"
#include "Platform/URL.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

class KVLFileTypeUtilTest : public kvltest::TemporaryRootTest {
protected:
    // Registers "<root>/Applications/<name>.app" with the identifier.
    void registerApplication(const std::string& name, const std::string& identifier) const {
        const std::string folder = "Applications/" + name + ".app";
        writeFile(folder + "/Contents/Info.plist",
                  "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>" + identifier +
                      "</string></dict></plist>");
        ASSERT_EQ(platform::ApplicationDatabase::registerURL(platform::URL::fileURLWithPath(path(folder), true), true),
                  platform::ApplicationDatabase::kNoError);
    }
};

TEST_F(KVLFileTypeUtilTest, ExtensionsMapThroughTheDatabase) {
    EXPECT_EQ(KVLFileTypeUtil::UTITypeForFileExtension(std::nullopt), std::nullopt);
    EXPECT_EQ(KVLFileTypeUtil::UTITypeForFileExtension("PDF"), "com.adobe.pdf");
}

TEST_F(KVLFileTypeUtilTest, PreferredApplicationIsTheHandlersBundleOrItsRecordedIdentifier) {
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType(std::nullopt), std::nullopt);
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType("public.plain-text"), std::nullopt);

    // A handler that no registered application carries: its identifier as recorded.
    platform::ApplicationDatabase::setDefaultRoleHandlerForContentType("public.plain-text", "com.example.gone");
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType("public.plain-text"), "com.example.gone");

    registerApplication("Editor", "com.example.editor");
    platform::ApplicationDatabase::setDefaultRoleHandlerForContentType("public.plain-text", "com.example.editor");
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType("public.plain-text"), "com.example.editor");
}

}  // namespace
