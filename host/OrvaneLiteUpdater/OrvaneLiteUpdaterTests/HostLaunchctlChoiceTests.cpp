#include <stdlib.h>

#include "HostTest.h"

namespace {

using kvltest::HostEndToEndTest;

// KVL_LAUNCHCTL_DIR names the folder whose launchctl a cycle runs instead of the stand-in's;
// this one only records its arguments. Install ends by listing the jobs to check them.
TEST_F(HostEndToEndTest, TheLaunchctlOfTheNamedFolderRunsInsteadOfTheStandIn) {
    writeFile("chosen/launchctl", "#!/bin/sh\necho \"$@\" >> '" + path("calls") + "'\n");
    kvltest::fs::permissions(path("chosen/launchctl"), kvltest::fs::perms::owner_all);
    ::setenv("KVL_LAUNCHCTL_DIR", path("chosen").c_str(), 1);
    const kvltest::HostRun install = host("install --root " + root());
    ::unsetenv("KVL_LAUNCHCTL_DIR");

    EXPECT_EQ(readFile("calls"), "load " + path(kvltest::kAgent) + "\nload " + path(kvltest::kCopyHelper) +
                                     "\nload " + path(kvltest::kUpdateHelper) + "\nlist\n")
        << install.err;
    EXPECT_EQ(jobs(), "");  // the stand-in never ran
}

}  // namespace
