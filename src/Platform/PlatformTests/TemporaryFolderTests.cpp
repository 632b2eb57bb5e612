#include "TestSupport/TemporaryFolder.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(TemporaryFolder, RemovesWhatItMadeWithoutFollowingLinksAndRefusesAFolderPutInItsPlace) {
    const kvltest::TemporaryFolder outside("kvl-outside");
    std::ofstream(outside.path() + "/kept") << "x";
    std::string made;
    {
        const kvltest::TemporaryFolder folder("kvl-test");
        made = folder.path();
        fs::create_directories(made + "/locked/inner");
        std::ofstream(made + "/locked/inner/file") << "x";
        fs::permissions(made + "/locked", fs::perms::none);
        fs::create_directory_symlink(outside.path(), made + "/link");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(made)));
    EXPECT_TRUE(fs::exists(outside.path() + "/kept"));

    // The folder it made swapped for another one: nothing is removed.
    EXPECT_NONFATAL_FAILURE(
        {
            const kvltest::TemporaryFolder folder("kvl-test");
            made = folder.path();
            fs::rename(made, outside.path() + "/moved");
            fs::create_directory(made);
            std::ofstream(made + "/other") << "x";
        },
        "not removing");
    EXPECT_TRUE(fs::exists(made + "/other"));
    EXPECT_TRUE(fs::exists(outside.path() + "/moved"));
    fs::remove(made + "/other");
    fs::remove(made);
}

}  // namespace
