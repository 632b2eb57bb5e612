#include "Platform/URL.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <utility>
#include <vector>

#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::URL;

std::string resolved(std::string_view reference, std::string_view base = "http://a/b/c/d;p?q") {
    const auto url = URL::URLWithString(reference, URL::URLWithString(base));
    return url ? url->absoluteString() : "(null)";
}

// The examples of RFC 3986, section 5.4, normal and abnormal.
TEST(URL, ResolvesTheExamplesOfRFC3986) {
    const std::pair<const char*, const char*> examples[] = {
        {"g:h", "g:h"}, {"g", "http://a/b/c/g"}, {"./g", "http://a/b/c/g"}, {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"}, {"//g", "http://g"}, {"?y", "http://a/b/c/d;p?y"}, {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"}, {"g#s", "http://a/b/c/g#s"}, {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"}, {"g;x", "http://a/b/c/g;x"}, {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"}, {".", "http://a/b/c/"}, {"./", "http://a/b/c/"}, {"..", "http://a/b/"},
        {"../", "http://a/b/"}, {"../g", "http://a/b/g"}, {"../..", "http://a/"}, {"../../", "http://a/"},
        {"../../g", "http://a/g"}, {"../../../g", "http://a/g"}, {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"}, {"/../g", "http://a/g"}, {"g.", "http://a/b/c/g."}, {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."}, {"..g", "http://a/b/c/..g"}, {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"}, {"g/./h", "http://a/b/c/g/h"}, {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"}, {"g;x=1/../y", "http://a/b/c/y"}, {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"}, {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"}, {"http:g", "http:g"},
    };
    for (const auto& [reference, expected] : examples) {
        EXPECT_EQ(resolved(reference), expected) << reference;
    }
}

TEST(URL, RefusesTextThatIsNotAURL) {
    for (const char* text : {"file:///a b", "/x/%zz", "/x/%4", "1http://a/", "caf\xc3\xa9", "a<b"}) {
        EXPECT_EQ(URL::URLWithString(text), std::nullopt) << text;
    }
    // Without a base a relative reference stays relative.
    const auto relative = URL::URLWithString("a/../b%20c");
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->absoluteString(), "a/../b%20c");
    EXPECT_EQ(relative->scheme(), "");
}

TEST(URL, ResolvedPathsThatWouldReadAsAnotherPartAreWrittenToReadBack) {
    // Removing the dot segments leaves a path that starts with "//" but has no authority, or a
    // relative path whose first segment holds a colon.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/..//h/p", "a:/x", "a:/.//h/p"}, {"../x:y/z", "", "./x:y/z"}, {"..//h", "a/b", "/.//h"}};
    for (const auto& [reference, base, expected] : cases) {
        const auto url = URL::URLWithString(reference, URL::URLWithString(base));
        ASSERT_TRUE(url);
        EXPECT_EQ(url->absoluteString(), expected);
        EXPECT_EQ(URL::URLWithString(url->absoluteString()), url) << reference << " against " << base;
    }
}

TEST(URL, FileURLsEncodeTheirPathAndMarkFolders) {
    const URL file = URL::fileURLWithPath("/tmp/a b/n\xc3\xa9#1?.log");
    EXPECT_EQ(file.absoluteString(), "file:///tmp/a%20b/n%C3%A9%231%3F.log");
    EXPECT_EQ(file.description(), file.absoluteString());
    EXPECT_EQ(file.path(), "/tmp/a b/n\xc3\xa9#1?.log");
    EXPECT_EQ(file.lastPathComponent(), "n\xc3\xa9#1?.log");
    EXPECT_EQ(file.pathExtension(), "log");
    EXPECT_TRUE(file.isFileURL());
    EXPECT_FALSE(file.hasDirectoryPath());

    const URL folder = URL::fileURLWithPath("/no/such/folder/");
    EXPECT_EQ(folder.absoluteString(), "file:///no/such/folder/");
    EXPECT_EQ(folder.path(), "/no/such/folder");
    EXPECT_EQ(folder.lastPathComponent(), "folder");
    EXPECT_EQ(URL::fileURLWithPath("/").path(), "/");
    EXPECT_EQ(URL::fileURLWithPath("/a//b", true).absoluteString(), "file:///a/b/");
    EXPECT_EQ(URL::fileURLWithPath("/a/b/", false).absoluteString(), "file:///a/b");
}

TEST(URL, AppendingAndDeletingComponents) {
    const URL folder = URL::fileURLWithPath("/x/y", true);
    EXPECT_EQ(folder.URLByAppendingPathComponent("a b.txt", false).absoluteString(), "file:///x/y/a%20b.txt");
    EXPECT_EQ(folder.URLByAppendingPathComponent("/sub/", false).absoluteString(), "file:///x/y/sub/");
    EXPECT_EQ(URL::fileURLWithPath("/x/y", false).URLByAppendingPathComponent("z", true).absoluteString(),
              "file:///x/y/z/");
    EXPECT_EQ(URL::fileURLWithPath("/x/y/z.txt", false).URLByDeletingLastPathComponent().absoluteString(),
              "file:///x/y/");
    EXPECT_EQ(folder.URLByDeletingLastPathComponent().absoluteString(), "file:///x/");
    EXPECT_EQ(URL::fileURLWithPath("/").URLByDeletingLastPathComponent().absoluteString(), "file:///");
    EXPECT_EQ(URL::URLWithString("http://h/a/b?q#f")->URLByDeletingLastPathComponent().absoluteString(),
              "http://h/a/?q#f");
}

TEST(URL, EqualityIsOnTheAbsoluteString) {
    EXPECT_EQ(URL::fileURLWithPath("/a/b", false), *URL::URLWithString("file:///a/b"));
    EXPECT_EQ(*URL::URLWithString("b", URL::fileURLWithPath("/a/c", false)), URL::fileURLWithPath("/a/b", false));
    EXPECT_FALSE(URL::fileURLWithPath("/a/b", false) == URL::fileURLWithPath("/a/b", true));
    EXPECT_EQ(URL::URLWithString("file:///a%20b")->path(), "/a b");
}

class FileURLTest : public kvltest::TemporaryRootTest {};

TEST_F(FileURLTest, ExistingFoldersAndRelativePathsFollowTheFileSystem) {
    writeFile("dir/file.txt", "x");
    EXPECT_EQ(URL::fileURLWithPath(root() + "/dir").absoluteString(), "file://" + root() + "/dir/");
    EXPECT_EQ(URL::fileURLWithPath(root() + "/dir/file.txt").absoluteString(), "file://" + root() + "/dir/file.txt");
    const URL folder = URL::fileURLWithPath(root());
    EXPECT_EQ(folder.URLByAppendingPathComponent("dir").absoluteString(), "file://" + root() + "/dir/");
    EXPECT_EQ(folder.URLByAppendingPathComponent("dir/file.txt").absoluteString(),
              "file://" + root() + "/dir/file.txt");

    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(root() + "/dir");
    const URL relative = URL::fileURLWithPath("../dir/./file.txt");
    const URL current = URL::fileURLWithPath("");
    std::filesystem::current_path(previous);
    EXPECT_EQ(relative.path(), root() + "/dir/file.txt");
    EXPECT_FALSE(relative.hasDirectoryPath());
    EXPECT_EQ(current.absoluteString(), "file://" + root() + "/dir/");

    // A relative reference resolves inside a folder's URL and beside a file's.
    EXPECT_EQ(URL::URLWithString("x.log", URL::fileURLWithPath(root() + "/dir"))->path(), root() + "/dir/x.log");
    EXPECT_EQ(URL::URLWithString("x.log", URL::fileURLWithPath(root() + "/dir/file.txt"))->path(),
              root() + "/dir/x.log");
}

}  // namespace
