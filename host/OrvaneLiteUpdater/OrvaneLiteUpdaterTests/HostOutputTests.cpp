#include <stdlib.h>

#include <set>
#include <sstream>

#include "HostTest.h"
#include "Platform/PropertyListSerialization.h"

namespace {

using kvltest::HostEndToEndTest;

TEST_F(HostEndToEndTest, StandardErrorIsQuietUnlessVerboseAndNoLineAppearsTwice) {
    const kvltest::HostRun quiet = host("install --root " + root());
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    const kvltest::HostRun verbose = host("uninstall -v --root " + root());
    EXPECT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_NE(verbose.err.find("[INF] Console:0 OrvaneLite:: KVLUpdaterAssistant - Logger Service loaded"),
              std::string::npos)
        << verbose.err;
    std::set<std::string> seen;
    std::istringstream lines(verbose.err);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(seen.insert(line).second) << "twice: " << line;
    }
}

TEST_F(HostEndToEndTest, StatusWritesAPropertyListAndFailsWhenTheJobsCannotBeListed) {
    ASSERT_EQ(host("install --root " + root()).status, 0);
    const kvltest::HostRun status = host("status --plist --root " + root());
    EXPECT_EQ(status.status, 0) << status.err;
    const auto state = platform::PropertyListSerialization::propertyListWithData(status.out);
    ASSERT_TRUE(state && state->dictionary()) << status.out;
    const platform::PlistDictionary& fields = *state->dictionary();
    EXPECT_EQ(fields.at("Files").array()->size(), 5U);
    EXPECT_EQ(*fields.at("JobsListed").boolean(), true);
    EXPECT_EQ(*fields.at("Registration").dictionary()->at("Registered").boolean(), true);

    // A failing launchctl of KVL_LAUNCHCTL_DIR's: the variable is obeyed, and the failure shows.
    writeFile("failing/launchctl", "#!/bin/sh\nexit 1\n");
    kvltest::fs::permissions(path("failing/launchctl"), kvltest::fs::perms::owner_all);
    ::setenv("KVL_LAUNCHCTL_DIR", path("failing").c_str(), 1);
    const kvltest::HostRun unreadable = host("status --root " + root());
    const kvltest::HostRun unreadablePlist = host("status --plist --root " + root());
    ::unsetenv("KVL_LAUNCHCTL_DIR");
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.out.find("launchctl list failed"), std::string::npos) << unreadable.out;
    EXPECT_EQ(unreadablePlist.status, 1);
}

}  // namespace
