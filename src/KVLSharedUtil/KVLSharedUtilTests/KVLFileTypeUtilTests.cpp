#include "KVLSharedUtil/KVLFileTypeUtil.h"

#include <gtest/gtest.h>

#include "Platform/ApplicationDatabase.h"
#include "Platform/URL.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::ApplicationDatabase;
using KVLFileTypeUtilTest = kvltest::TemporaryRootTest;

TEST_F(KVLFileTypeUtilTest, ExtensionsMapThroughTheDatabase) {
    EXPECT_EQ(KVLFileTypeUtil::UTITypeForFileExtension(std::nullopt), std::nullopt);
    EXPECT_EQ(KVLFileTypeUtil::UTITypeForFileExtension("PDF"), "com.adobe.pdf");
}

TEST_F(KVLFileTypeUtilTest, PreferredApplicationIsTheHandlersBundleOrItsRecordedIdentifier) {
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType(std::nullopt), std::nullopt);
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType("public.plain-text"), std::nullopt);

    // A handler that no registered application carries: its identifier as recorded.
    ApplicationDatabase::setDefaultRoleHandlerForContentType("public.plain-text", "com.example.gone");
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType("public.plain-text"), "com.example.gone");

    // A registered one: the identifier its bundle holds now.
    const std::string editor = writeBundle("Editor.app", "com.example.editor");
    ASSERT_EQ(ApplicationDatabase::registerURL(platform::URL::fileURLWithPath(editor, true), true),
              ApplicationDatabase::kNoError);
    writeBundle("Editor.app", "com.example.renamed");
    ApplicationDatabase::setDefaultRoleHandlerForContentType("public.plain-text", "com.example.editor");
    EXPECT_EQ(KVLFileTypeUtil::userPreferredAppBundleIdForUtiType("public.plain-text"), "com.example.renamed");
}

}  // namespace
