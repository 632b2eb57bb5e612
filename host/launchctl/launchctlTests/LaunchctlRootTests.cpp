#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "TestSupport/TemporaryRoot.h"

namespace {

class LaunchctlRootTest : public kvltest::TemporaryRootTest {
protected:
    // The exit status and standard error of launchctl run with the environment given.
    std::pair<int, std::string> launchctl(const std::string& environment, const std::string& arguments) const {
        const int status = std::system(("env -u KVL_LAUNCHD_ROOT " + environment + " '" KVL_LAUNCHCTL_PATH "' " +
                                        arguments + " >" + path("out") + " 2>" + path("err"))
                                           .c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile("err")};
    }
    void writeJob(const std::string& file) const {
        writeFile(file, "<plist version=\"1.0\"><dict><key>Label</key><string>com.example.job</string>"
                        "<key>Program</key><string>/bin/true</string></dict></plist>");
    }
};

TEST_F(LaunchctlRootTest, TheRootComesFromTheEnvironmentAndHoldsEveryJobItLoads) {
    // A root inside a home folder: nothing is taken from the job's path.
    const std::string machine = path("Users/ann");
    const std::string inside = machine + "/Library/LaunchAgents/job.plist";
    const std::string outside = path("Library/LaunchDaemons/job.plist");
    const std::string leading = machine + "/Library/LaunchDaemons/link.plist";
    writeJob(inside);
    writeJob(outside);
    std::filesystem::create_directories(machine + "/Library/LaunchDaemons");
    std::filesystem::create_symlink(outside, leading);
    const std::string unset =
        "launchctl: KVL_LAUNCHD_ROOT must name the root, as an absolute path (usage: launchctl load|unload PATH, "
        "launchctl list; see --help)\n";
    const std::string root = "KVL_LAUNCHD_ROOT=" + machine;
    const std::string refused = outside + ": “" + outside + "” lies outside the root “" + machine + "”.\n";
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {"", "list", 64, unset},
        {"KVL_LAUNCHD_ROOT=Users/ann", "load " + inside, 64, unset},
        {root, "load " + outside, 1, refused},
        {root, "load " + leading, 1,
         leading + ": “" + leading + "” leads outside the root “" + machine + "” through a symbolic link.\n"},
        {root, "load " + inside, 0, ""},
        {root, "unload " + outside, 1, refused},
    };
    for (const auto& [environment, arguments, status, message] : cases) {
        EXPECT_EQ(launchctl(environment, arguments), std::make_pair(status, message)) << arguments;
    }
    EXPECT_EQ(launchctl(root, "list").first, 0);
    EXPECT_EQ(readFile("out"), "PID\tStatus\tLabel\n-\t0\tcom.example.job\n");
    EXPECT_TRUE(std::filesystem::exists(machine + "/var/run/launchd-standin/jobs.plist"));
    EXPECT_FALSE(std::filesystem::exists(path("var/run")));

    EXPECT_EQ(launchctl("", "--help").first, 0);
    EXPECT_NE(readFile("out").find("taken from the environment\nvariable KVL_LAUNCHD_ROOT"), std::string::npos);
}

}  // namespace
