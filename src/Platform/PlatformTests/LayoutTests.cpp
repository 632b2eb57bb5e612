#include "Platform/Layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "Platform/SearchPaths.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::Layout;
using platform::SearchPathDirectory;
using platform::SearchPaths;

// Sets an environment variable for one scope, then puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnvironment() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(Layout, SystemDefaultComesFromTheEnvironment) {
    ScopedEnvironment home("HOME", "/home/someone//");
    ScopedEnvironment tmp("TMPDIR", "/var/tmp/x/");
    const Layout layout = Layout::systemDefault();
    EXPECT_EQ(layout.root, "/");
    EXPECT_EQ(layout.home, "/home/someone");
    EXPECT_EQ(layout.temporaryDirectory, "/var/tmp/x/");

    ScopedEnvironment noTmp("TMPDIR", nullptr);
    ScopedEnvironment noHome("HOME", nullptr);
    EXPECT_EQ(Layout::systemDefault().temporaryDirectory, "/tmp/");
    EXPECT_EQ(Layout::systemDefault().home, SearchPaths::passwordDatabaseHome());
}

TEST(Layout, UnderRootPutsTheHomeInUsers) {
    const Layout layout = Layout::underRoot("/sandbox//box/");
    EXPECT_EQ(layout.root, "/sandbox/box");
    EXPECT_EQ(layout.home, "/sandbox/box/Users/" + SearchPaths::userName());
    EXPECT_EQ(layout.pathUnderRoot("Library/LaunchDaemons"), "/sandbox/box/Library/LaunchDaemons");

    const Layout given = Layout::underRoot("/sandbox", std::string("/elsewhere/me/"), std::string("/sandbox/t"));
    EXPECT_EQ(given.home, "/elsewhere/me");
    EXPECT_EQ(given.temporaryDirectory, "/sandbox/t/");
    EXPECT_EQ(Layout::underRoot("/").pathUnderRoot("Applications"), "/Applications");
}

TEST(Layout, ExchangeNormalizesAndAnswersThePreviousLayout) {
    const Layout original = Layout::current();
    const Layout previous = Layout::exchange(Layout{"/a/b/", "/a/b/home//", "/a/b/tmp"});
    EXPECT_EQ(previous, original);
    EXPECT_EQ(Layout::current(), (Layout{"/a/b", "/a/b/home", "/a/b/tmp/"}));
    EXPECT_EQ(SearchPaths::temporaryDirectory(), "/a/b/tmp/");
    Layout::set(original);
    EXPECT_EQ(Layout::current(), original);
}

TEST(Layout, ConcurrentReadersSeeWholeLayouts) {
    const Layout original = Layout::current();
    const Layout first{"/one", "/one/home", "/one/tmp/"};
    const Layout second{"/two", "/two/home", "/two/tmp/"};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            Layout::set(i % 2 ? first : second);
        }
    });
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        const Layout seen = Layout::current();
        torn += (seen != first && seen != second && seen != original) ? 1 : 0;
    }
    writer.join();
    Layout::set(original);
    EXPECT_EQ(torn, 0);
}

class SearchPathsTest : public kvltest::TemporaryRootTest {};

TEST_F(SearchPathsTest, DomainsAnswerFromTheLayout) {
    using D = SearchPathDirectory;
    const unsigned all = platform::AllDomainsMask;
    EXPECT_EQ(SearchPaths::forDirectoriesInDomains(D::ApplicationSupport, platform::LocalDomainMask, true),
              std::vector<std::string>{root() + "/Library/Application Support"});
    EXPECT_EQ(SearchPaths::forDirectoriesInDomains(D::ApplicationSupport, platform::UserDomainMask, true),
              std::vector<std::string>{home() + "/Library/Application Support"});
    EXPECT_EQ(SearchPaths::forDirectoriesInDomains(D::ApplicationSupport, platform::UserDomainMask, false),
              std::vector<std::string>{"~/Library/Application Support"});
    EXPECT_EQ(SearchPaths::forDirectoriesInDomains(D::Library, all, true),
              (std::vector<std::string>{home() + "/Library", root() + "/Library", root() + "/System/Library"}));
    EXPECT_EQ(SearchPaths::forDirectoriesInDomains(D::Applications, platform::LocalDomainMask, true),
              std::vector<std::string>{root() + "/Applications"});
    EXPECT_EQ(SearchPaths::forDirectoriesInDomains(D::Caches, platform::UserDomainMask, true),
              std::vector<std::string>{home() + "/Library/Caches"});
    EXPECT_EQ(SearchPaths::forDirectoriesInDomains(D::Logs, platform::LocalDomainMask, true),
              std::vector<std::string>{root() + "/Library/Logs"});
    EXPECT_TRUE(SearchPaths::forDirectoriesInDomains(D::Library, platform::NetworkDomainMask, true).empty());
}

TEST_F(SearchPathsTest, FixtureGivesAFreshRootAndTemporaryFolder) {
    EXPECT_EQ(home(), root() + "/Users/" + SearchPaths::userName());
    EXPECT_TRUE(std::filesystem::is_directory(home()));
    EXPECT_EQ(SearchPaths::temporaryDirectory(), root() + "/tmp/");
    writeFile("a/b.txt", "text");
    EXPECT_EQ(readFile(root() + "/a/b.txt"), "text");
}

TEST(TemporaryRootTest, RestoresTheLayoutAndRemovesTheRootAfterwards) {
    struct Probe : kvltest::TemporaryRootTest {
        void TestBody() override {}
        using TemporaryRootTest::root;
        using TemporaryRootTest::writeFile;
    };
    const Layout before = Layout::current();
    std::string root;
    {
        Probe probe;
        root = probe.root();
        EXPECT_EQ(Layout::current().root, root);
        probe.writeFile("locked/inside/file", "x");
        std::filesystem::permissions(root + "/locked", std::filesystem::perms::none);
    }
    EXPECT_FALSE(std::filesystem::exists(root));
    EXPECT_EQ(Layout::current(), before);
}

TEST(SearchPaths, UserNameIsTheEffectiveUsersLoginName) {
    // The suite runs as root; elsewhere the name must still be the password database's.
    if (::geteuid() == 0) {
        EXPECT_EQ(SearchPaths::userName(), "root");
    } else {
        EXPECT_FALSE(SearchPaths::userName().empty());
    }
}

}  // namespace
