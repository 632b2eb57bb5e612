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
        if (const char* old = std::getenv(name))
            old_ = old;
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
    EXPECT_EQ(Layout::systemDefault(), (Layout{"/", "/home/someone", "/var/tmp/x/"}));

    ScopedEnvironment noTmp("TMPDIR", nullptr);
    ScopedEnvironment noHome("HOME", nullptr);
    EXPECT_EQ(Layout::systemDefault().temporaryDirectory, "/tmp/");
    EXPECT_EQ(Layout::systemDefault().home, SearchPaths::passwordDatabaseHome());
}

TEST(Layout, UnderRootPutsTheHomeInUsers) {
    const Layout layout = Layout::underRoot("/sandbox//box/");
    EXPECT_EQ(layout,
              (Layout{"/sandbox/box", "/sandbox/box/Users/" + SearchPaths::userName(), layout.temporaryDirectory}));
    EXPECT_EQ(layout.pathUnderRoot("Library/LaunchDaemons"), "/sandbox/box/Library/LaunchDaemons");
    EXPECT_EQ(Layout::underRoot("/").pathUnderRoot("Applications"), "/Applications");

    EXPECT_EQ(Layout::underRoot("/sandbox", std::string("/elsewhere/me/"), std::string("/sandbox/t")),
              (Layout{"/sandbox", "/elsewhere/me", "/sandbox/t/"}));
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
    struct Case {
        SearchPathDirectory directory;
        unsigned domains;
        bool expandTilde;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {D::ApplicationSupport, platform::UserDomainMask, true, {home() + "/Library/Application Support"}},
        {D::ApplicationSupport, platform::UserDomainMask, false, {"~/Library/Application Support"}},
        {D::Library,
         platform::AllDomainsMask,
         true,
         {home() + "/Library", root() + "/Library", root() + "/System/Library"}},
        {D::Applications, platform::LocalDomainMask, true, {root() + "/Applications"}},
        {D::Library, platform::NetworkDomainMask, true, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchPaths::forDirectoriesInDomains(c.directory, c.domains, c.expandTilde), c.paths);
    }
    EXPECT_EQ(SearchPaths::temporaryDirectory(), root() + "/tmp/");
}

}  // namespace
