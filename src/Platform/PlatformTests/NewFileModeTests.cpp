#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Platform/FileManager.h"
#include "Platform/PropertyListSerialization.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using NewFileMode = kvltest::TemporaryRootTest;

// New files get the mode any new file would: 0666 less the umask.
TEST_F(NewFileMode, NewFilesTakeTheUmask) {
    const mode_t previous = ::umask(027);
    EXPECT_TRUE(platform::PropertyListSerialization::writeToFile(platform::PlistValue("x"), path("a.plist")));
    EXPECT_TRUE(platform::FileManager::createFileAtPath(path("b"), "x"));
    ::umask(previous);
    for (const char* name : {"a.plist", "b"}) {
        struct stat info {};
        ASSERT_EQ(::stat(path(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640U) << name;
    }
}

}  // namespace
