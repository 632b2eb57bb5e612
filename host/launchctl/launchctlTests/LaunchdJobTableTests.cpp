#include "LaunchdJobTable.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport/TemporaryRoot.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Drives the built launchctl program as the updater does, from a shell command line.
class LaunchctlTest : public kvltest::TemporaryRootTest {
protected:
    // Against the test's root unless the environment says otherwise.
    Outcome launchctl(const std::string& arguments, const std::string& environment = "") const {
        const std::string out = path("tmp/out"), err = path("tmp/err");
        const std::string command = "KVL_LAUNCHD_ROOT=" + root() + " " + environment + " '" KVL_LAUNCHCTL_PATH "' " +
                                    arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    }

    // A job property list in the machine's daemons folder; answers its path.
    std::string writeJob(const std::string& name, const std::string& body) const {
        const std::string file = "Library/LaunchDaemons/" + name + ".plist";
        writeFile(file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
                            "</dict></plist>\n");
        return path(file);
    }
    std::string validJob(const std::string& label) const {
        return writeJob(label, "<key>Label</key><string>" + label +
                                   "</string><key>ProgramArguments</key><array><string>/bin/true</string></array>");
    }
    std::string table() const {
        const std::string file = path("var/run/launchd-standin/jobs.plist");
        return std::filesystem::exists(file) ? readFile(file) : "";
    }
    std::string list() const { return launchctl("list").out; }
};

TEST_F(LaunchctlTest, LoadListAndUnloadKeepTheTableUnderTheJobsRoot) {
    const std::string a = validJob("com.example.a");
    const std::string b = writeJob("com.example.b", "<key>Label</key><string>com.example.b</string>"
                                                    "<key>Program</key><string>/bin/true</string>");
    EXPECT_EQ(launchctl("load " + b).status, 0);
    EXPECT_EQ(launchctl("load " + a).status, 0);
    EXPECT_EQ(list(), "PID\tStatus\tLabel\n-\t0\tcom.example.a\n-\t0\tcom.example.b\n");

    const Outcome unloaded = launchctl("unload " + a);
    EXPECT_EQ(unloaded.status, 0);
    EXPECT_EQ(unloaded.err, "");
    EXPECT_EQ(list(), "PID\tStatus\tLabel\n-\t0\tcom.example.b\n");

    // Another root has a table of its own.
    std::filesystem::create_directories(path("elsewhere"));
    EXPECT_EQ(launchctl("list", "KVL_LAUNCHD_ROOT=" + path("elsewhere")).out, "PID\tStatus\tLabel\n");
}

TEST_F(LaunchctlTest, BadJobsAndRepeatedCommandsPrintOneLineAndLeaveTheTableAlone) {
    const std::string loaded = validJob("com.example.loaded");
    ASSERT_EQ(launchctl("load " + loaded).status, 0);
    const std::string before = table();
    ASSERT_NE(before, "");

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
        {"unload " + missing, missing + ": No such file or directory\n"},
    };
    for (const auto& [arguments, message] : cases) {
        const Outcome outcome = launchctl(arguments);
        EXPECT_EQ(outcome.status, LaunchdJobTable::kFailureStatus) << arguments;
        EXPECT_EQ(outcome.err, message) << arguments;
        EXPECT_EQ(table(), before) << arguments;
    }
}

TEST_F(LaunchctlTest, ADamagedOrBlockedJobTableFailsEveryCommandAndIsLeftAsItIs) {
    const std::string job = validJob("com.example.job");
    const std::string tablePath = path("var/run/launchd-standin/jobs.plist");

    writeFile("var/run/launchd-standin/jobs.plist", "not a property list");
    const std::string unreadable = "the job table " + tablePath +
                                   " is damaged: The data couldn’t be read because it isn’t in the correct format.\n";
    for (const std::string& arguments : {"load " + job, "unload " + job, std::string("list")}) {
        const Outcome outcome = launchctl(arguments);
        EXPECT_EQ(outcome.status, LaunchdJobTable::kFailureStatus) << arguments;
        EXPECT_EQ(outcome.err, unreadable) << arguments;
    }
    EXPECT_EQ(table(), "not a property list");

    writeFile("var/run/launchd-standin/jobs.plist", "<plist version=\"1.0\"><array/></plist>");
    Outcome outcome = launchctl("load " + job);
    EXPECT_EQ(outcome.status, LaunchdJobTable::kFailureStatus);
    EXPECT_EQ(outcome.err, "the job table " + tablePath + " is damaged: it holds no dictionary of jobs\n");

    // A file where the table's folder belongs: nothing to read, and no folder to write into.
    std::filesystem::remove_all(path("var/run"));
    writeFile("var/run", "a file");
    outcome = launchctl("load " + job);
    EXPECT_EQ(outcome.status, LaunchdJobTable::kFailureStatus);
    EXPECT_EQ(outcome.err, "the job table's lock " + path("var/run/launchd-standin/jobs.lock") +
                               " cannot be taken: Not a directory\n");
    EXPECT_EQ(readFile("var/run"), "a file");
}

TEST_F(LaunchctlTest, UsageErrorsAndHelp) {
    EXPECT_EQ(launchctl("").status, 64);
    EXPECT_EQ(launchctl("start x").status, 64);
    EXPECT_EQ(launchctl("load").status, 64);
    EXPECT_EQ(launchctl("load a b").status, 64);
    const Outcome help = launchctl("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("launchctl load PATH"), std::string::npos);
}

}  // namespace
