#include "Platform/PathUtilities.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "Platform/SearchPaths.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using P = platform::PathUtilities;
using Components = std::vector<std::string>;

TEST(PathUtilities, AppendingCollapsesSlashesAndDropsTheTrailingOne) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/tmp", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/tmp/", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/", "scratch.tiff", "/scratch.tiff"},
        {"", "a//b/", "a/b"},
        {"/tmp//x/", "/y//", "/tmp/x/y"},
        {"a", "", "a"},
        {"/", "", "/"},
        // Several names joined with "/" go in as one relative path.
        {"/L/Application Support", "Orvane/Orvane Lite", "/L/Application Support/Orvane/Orvane Lite"},
    };
    for (const auto& [path, component, expected] : cases) {
        EXPECT_EQ(P::stringByAppendingPathComponent(path, component), expected) << path << " + " << component;
    }
}

// Each path with its last component, the path without it, its extension and the path without that.
TEST(PathUtilities, ComponentsAndExtensionsOfTheLastComponent) {
    const std::array<const char*, 5> cases[] = {
        {"/tmp/scratch.tiff", "scratch.tiff", "/tmp", "tiff", "/tmp/scratch"},
        {"/tmp/lock/", "lock", "/tmp", "", "/tmp/lock"},
        {"scratch///", "scratch", "", "", "scratch"},
        {"/", "/", "/", "", "/"},
        {"", "", "", "", ""},
        {"//tmp//a.log", "a.log", "/tmp", "log", "/tmp/a"},
        {"a//b", "b", "a", "", "a/b"},
        {"/tmp/archive.tar.gz/", "archive.tar.gz", "/tmp", "gz", "/tmp/archive.tar"},
        {"/tmp/scratch..tiff", "scratch..tiff", "/tmp", "tiff", "/tmp/scratch."},
        {".scratch.tiff", ".scratch.tiff", "", "tiff", ".scratch"},
        {"/home/.profile", ".profile", "/home", "", "/home/.profile"},
        {"/a.d/README", "README", "/a.d", "", "/a.d/README"},
    };
    for (const auto& [path, last, withoutLast, extension, withoutExtension] : cases) {
        EXPECT_EQ(P::lastPathComponent(path), last) << path;
        EXPECT_EQ(P::stringByDeletingLastPathComponent(path), withoutLast) << path;
        EXPECT_EQ(P::pathExtension(path), extension) << path;
        EXPECT_EQ(P::stringByDeletingPathExtension(path), withoutExtension) << path;
    }
    EXPECT_EQ(P::pathExtension("name."), "");
    EXPECT_EQ(P::pathComponents("tmp/scratch"), (Components{"tmp", "scratch"}));
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
