#include "Platform/PathUtilities.h"

#include <gtest/gtest.h>

#include "Platform/SearchPaths.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using P = platform::PathUtilities;
using Components = std::vector<std::string>;

TEST(PathUtilities, AppendingCollapsesSlashesAndDropsTheTrailingOne) {
    EXPECT_EQ(P::stringByAppendingPathComponent("/tmp", "scratch.tiff"), "/tmp/scratch.tiff");
    EXPECT_EQ(P::stringByAppendingPathComponent("/tmp/", "scratch.tiff"), "/tmp/scratch.tiff");
    EXPECT_EQ(P::stringByAppendingPathComponent("/", "scratch.tiff"), "/scratch.tiff");
    EXPECT_EQ(P::stringByAppendingPathComponent("", "scratch.tiff"), "scratch.tiff");
    EXPECT_EQ(P::stringByAppendingPathComponent("", "a//b/"), "a/b");
    EXPECT_EQ(P::stringByAppendingPathComponent("/tmp//x/", "/y//"), "/tmp/x/y");
    EXPECT_EQ(P::stringByAppendingPathComponent("a", ""), "a");
    EXPECT_EQ(P::stringByAppendingPathComponent("/", ""), "/");
    // Several names joined with "/" go in as one relative path.
    EXPECT_EQ(P::stringByAppendingPathComponent("/L/Application Support", "Orvane/Orvane Lite/Orvane Lite Updater"),
              "/L/Application Support/Orvane/Orvane Lite/Orvane Lite Updater");
}

TEST(PathUtilities, LastComponentAndDeletingIt) {
    EXPECT_EQ(P::lastPathComponent("/tmp/scratch.tiff"), "scratch.tiff");
    EXPECT_EQ(P::lastPathComponent("/tmp/lock/"), "lock");
    EXPECT_EQ(P::lastPathComponent("scratch///"), "scratch");
    EXPECT_EQ(P::lastPathComponent("/"), "/");
    EXPECT_EQ(P::lastPathComponent(""), "");
    EXPECT_EQ(P::lastPathComponent("///"), "/");
    EXPECT_EQ(P::lastPathComponent("scratch"), "scratch");
    EXPECT_EQ(P::lastPathComponent("//tmp//a.log"), "a.log");

    EXPECT_EQ(P::stringByDeletingLastPathComponent("/tmp/scratch.tiff"), "/tmp");
    EXPECT_EQ(P::stringByDeletingLastPathComponent("/tmp/lock/"), "/tmp");
    EXPECT_EQ(P::stringByDeletingLastPathComponent("/tmp"), "/");
    EXPECT_EQ(P::stringByDeletingLastPathComponent("/"), "/");
    EXPECT_EQ(P::stringByDeletingLastPathComponent("scratch.tiff"), "");
    EXPECT_EQ(P::stringByDeletingLastPathComponent("a//b"), "a");
}

TEST(PathUtilities, ExtensionsBelongToTheLastComponentOnly) {
    EXPECT_EQ(P::pathExtension("/tmp/scratch.tiff"), "tiff");
    EXPECT_EQ(P::pathExtension("/tmp/archive.tar.gz/"), "gz");
    EXPECT_EQ(P::pathExtension("/tmp/scratch..tiff"), "tiff");
    EXPECT_EQ(P::pathExtension(".scratch.tiff"), "tiff");
    EXPECT_EQ(P::pathExtension("/home/.profile"), "");
    EXPECT_EQ(P::pathExtension("/a.d/README"), "");
    EXPECT_EQ(P::pathExtension("name."), "");

    EXPECT_EQ(P::stringByDeletingPathExtension("/tmp/scratch.tiff"), "/tmp/scratch");
    EXPECT_EQ(P::stringByDeletingPathExtension("/tmp/scratch..tiff"), "/tmp/scratch.");
    EXPECT_EQ(P::stringByDeletingPathExtension("scratch.bundle/"), "scratch");
    EXPECT_EQ(P::stringByDeletingPathExtension("/a.d/README"), "/a.d/README");
    EXPECT_EQ(P::stringByDeletingPathExtension(".profile"), ".profile");
    EXPECT_EQ(P::stringByDeletingPathExtension("/"), "/");
}

TEST(PathUtilities, ComponentsKeepTheRootAndATrailingSlash) {
    EXPECT_EQ(P::pathComponents("tmp/scratch"), (Components{"tmp", "scratch"}));
    EXPECT_EQ(P::pathComponents("/tmp/scratch"), (Components{"/", "tmp", "scratch"}));
    EXPECT_EQ(P::pathComponents("//tmp//scratch/"), (Components{"/", "tmp", "scratch", "/"}));
    EXPECT_EQ(P::pathComponents("/"), (Components{"/"}));
    EXPECT_EQ(P::pathComponents(""), Components{});
}

class PathTildeTest : public kvltest::TemporaryRootTest {};

TEST_F(PathTildeTest, TildeExpandsToTheLayoutsHome) {
    EXPECT_EQ(P::stringByExpandingTildeInPath("~"), home());
    EXPECT_EQ(P::stringByExpandingTildeInPath("~/Library//Logs/"), home() + "/Library/Logs");
    EXPECT_EQ(P::stringByExpandingTildeInPath("/a/~/b"), "/a/~/b");
    EXPECT_EQ(P::stringByExpandingTildeInPath("~no-such-user-kvl/x"), "~no-such-user-kvl/x");
    EXPECT_EQ(P::stringByExpandingTildeInPath("~" + platform::SearchPaths::userName() + "/x"),
              platform::SearchPaths::passwordDatabaseHome() + "/x");
}

}  // namespace
