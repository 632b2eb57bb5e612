#include "LaunchdJobTable.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TestSupport/TemporaryRoot.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
    bool operator==(const Outcome&) const = default;
};

// Drives the built launchctl program as the updater does, from a shell command line.
class LaunchctlTest : public kvltest::TemporaryRootTest {
protected:
    // With the environment given; an empty one names the test's root, a blank one no root at all.
    Outcome launchctl(const std::string& arguments, std::string environment = "") const {
        if (environment.empty()) {
            environment = "KVL_LAUNCHD_ROOT=" + root();
        }
        const std::string out = path("tmp/out"), err = path("tmp/err");
        const int status = std::system(("env -u KVL_LAUNCHD_ROOT " + environment + " '" KVL_LAUNCHCTL_PATH "' " +
                                        arguments + " >" + out + " 2>" + err)
                                           .c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    }
    // A job property list under the root; answers its path.
    std::string writeJob(const std::string& name, const std::string& body,
                         const std::string& folder = "Library/LaunchDaemons/") const {
        writeFile(folder + name + ".plist", "<plist version=\"1.0\"><dict>" + body + "</dict></plist>\n");
        return path(folder + name + ".plist");
    }
    std::string validJob(const std::string& label, const std::string& folder = "Library/LaunchDaemons/") const {
        return writeJob(label,
                        "<key>Label</key><string>" + label +
                            "</string><key>ProgramArguments</key><array><string>/bin/true</string></array>",
                        folder);
    }
    std::string table() const {
        const std::string file = path("var/run/launchd-standin/jobs.plist");
        return std::filesystem::exists(file) ? readFile(file) : "";
    }
    std::string list() const { return launchctl("list").out; }
};

TEST_F(LaunchctlTest, TheRootComesFromTheEnvironmentAndHoldsEveryJobItLoads) {
    // A root inside a home folder: nothing is taken from the job's path.
    const std::string machine = path("Users/ann");
    const std::string inside = validJob("com.example.job", "Users/ann/Library/LaunchAgents/");
    const std::string outside = validJob("com.example.job");
    const std::string leading = machine + "/Library/LaunchDaemons/link.plist";
    std::filesystem::create_directories(machine + "/Library/LaunchDaemons");
    std::filesystem::create_symlink(outside, leading);
    const std::string unset =
        "launchctl: KVL_LAUNCHD_ROOT must name the root, as an absolute path (usage: launchctl load|unload PATH, "
        "launchctl list; see --help)\n";
    const std::string root = "KVL_LAUNCHD_ROOT=" + machine;
    const std::string refused = outside + ": “" + outside + "” lies outside the root “" + machine + "”.\n";
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {" ", "list", 64, unset},
        {"KVL_LAUNCHD_ROOT=Users/ann", "load " + inside, 64, unset},
        {root, "load " + outside, 1, refused},
        {root, "load " + leading, 1,
         leading + ": “" + leading + "” leads outside the root “" + machine + "” through a symbolic link.\n"},
        {root, "load " + inside, 0, ""},
        {root, "unload " + outside, 1, refused},
    };
    for (const auto& [environment, arguments, status, message] : cases) {
        const Outcome outcome = launchctl(arguments, environment);
        EXPECT_EQ(std::make_pair(outcome.status, outcome.err), std::make_pair(status, message)) << arguments;
    }
    for (const char* usage : {"", "start x", "load a b"}) {
        EXPECT_EQ(launchctl(usage, root).status, 64) << usage;
    }
    EXPECT_EQ(launchctl("list", root).out, "PID\tStatus\tLabel\n-\t0\tcom.example.job\n");
    EXPECT_EQ(list(), "PID\tStatus\tLabel\n");  // the test's root has a table of its own
}

TEST_F(LaunchctlTest, BadJobsAndRepeatedCommandsPrintOneLineAndLeaveTheTableAlone) {
    const std::string loaded = validJob("com.example.loaded");
    ASSERT_EQ(launchctl("load " + loaded).status, 0);
    const std::string before = table();

    const std::string missing = path("Library/LaunchDaemons/none.plist");
    const std::string malformed = path("Library/LaunchDaemons/bad.plist");
    writeFile(malformed, "<plist><dict><key>Label</key>");
    const std::string noLabel = writeJob("nolabel", "<key>Program</key><string>/bin/true</string>");
    const std::string noProgram = writeJob("noprogram", "<key>Label</key><string>x</string>");
    const std::string notLoaded = validJob("com.example.other");

    const std::pair<std::string, std::string> cases[] = {
        {"load " + missing, missing + ": No such file or directory\n"},
        {"load " + malformed, malformed + ": invalid job: not a property list holding a dictionary\n"},
        {"load " + noLabel, noLabel + ": invalid job: Missing Label\n"},
        {"load " + noProgram, noProgram + ": invalid job: Missing Program or ProgramArguments\n"},
        {"load " + loaded, loaded + ": service already loaded\n"},
        {"unload " + notLoaded, notLoaded + ": Could not find specified service\n"},
    };
    for (const auto& [arguments, message] : cases) {
        EXPECT_EQ(launchctl(arguments), (Outcome{LaunchdJobTable::kFailureStatus, "", message})) << arguments;
        EXPECT_EQ(table(), before) << arguments;
    }
}

TEST_F(LaunchctlTest, ADamagedOrBlockedJobTableFailsEveryCommandAndIsLeftAsItIs) {
    const std::string job = validJob("com.example.job");
    const std::string tablePath = path("var/run/launchd-standin/jobs.plist");
    const auto damaged = [&](const std::string& why) { return "the job table " + tablePath + " is damaged: " + why; };

    writeFile("var/run/launchd-standin/jobs.plist", "not a property list");
    for (const std::string& arguments : {"load " + job, "unload " + job, std::string("list")}) {
        EXPECT_EQ(launchctl(arguments),
                  (Outcome{LaunchdJobTable::kFailureStatus, "",
                           damaged("The data couldn’t be read because it isn’t in the correct format.\n")}))
            << arguments;
    }
    EXPECT_EQ(table(), "not a property list");

    writeFile("var/run/launchd-standin/jobs.plist", "<plist version=\"1.0\"><array/></plist>");
    EXPECT_EQ(launchctl("load " + job).err, damaged("it holds no dictionary of jobs\n"));

    // A file where the table's folder belongs: nothing to read, and no folder to write into.
    std::filesystem::remove_all(path("var/run"));
    writeFile("var/run", "a file");
    EXPECT_EQ(launchctl("load " + job), (Outcome{LaunchdJobTable::kFailureStatus, "",
                                                 "the job table's lock " + path("var/run/launchd-standin/jobs.lock") +
                                                     " cannot be taken: Not a directory\n"}));
    EXPECT_EQ(readFile("var/run"), "a file");
}

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
