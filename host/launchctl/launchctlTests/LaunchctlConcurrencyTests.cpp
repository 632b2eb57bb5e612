#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LaunchdJobTable.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

class LaunchctlStressTest : public kvltest::TemporaryRootTest {};

TEST_F(LaunchctlStressTest, EightSimultaneousLoadsKeepEveryJobAndLeaveNoTemporaryFile) {
    std::vector<std::thread> loads;
    std::vector<int> statuses(8, -1);
    std::string expected = "PID\tStatus\tLabel\n";
    for (int job = 0; job < 8; ++job) {
        const std::string label = "com.example.job" + std::to_string(job);
        const std::string file = path("Library/LaunchDaemons/" + label + ".plist");
        writeFile(file, "<plist version=\"1.0\"><dict><key>Label</key><string>" + label +
                            "</string><key>Program</key><string>/bin/true</string></dict></plist>");
        expected += "-\t0\t" + label + "\n";
        loads.emplace_back([&statuses, job, file, this] {
            statuses[job] =
                std::system(("KVL_LAUNCHD_ROOT=" + root() + " '" KVL_LAUNCHCTL_PATH "' load " + file).c_str());
        });
    }
    for (std::thread& load : loads) {
        load.join();
    }
    EXPECT_EQ(statuses, std::vector<int>(8, 0));
    std::ostringstream out, err;
    ASSERT_EQ(LaunchdJobTable(root()).list(out, err), 0) << err.str();
    EXPECT_EQ(out.str(), expected);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path("var/run/launchd-standin"))) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"jobs.lock", "jobs.plist"}));
}

}  // namespace
