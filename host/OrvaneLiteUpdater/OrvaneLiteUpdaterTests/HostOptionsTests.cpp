#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostOptions.h"

namespace {

struct RefusedLine {
    std::vector<std::string> arguments;
    std::string problem;
};

TEST(HostOptions, RefusedCommandLinesSayWhy) {
    const std::vector<RefusedLine> cases{
        {{"instal", "--root", "/r"}, "unknown command 'instal' (did you mean 'install'?)"},
        {{"statsu", "--root", "/r"}, "unknown command 'statsu' (did you mean 'status'?)"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"help", "bogus"}, "unknown command 'bogus'"},
        {{"install", "--root", "/r", "--root=/s"}, "--root is given more than once"},
        {{"status", "--root", "/r", "--verify", "--verify"}, "--verify is given more than once"},
        {{"status", "--root", "/r", "--verify=yes"}, "--verify takes no value"},
        {{"install", "--root", "/r", "--verify"}, "--verify does not belong to the install command"},
        {{"status", "--root", "/r", "--fail", "copy"}, "--fail does not belong to the status command"},
        {{"install", "--root"}, "--root needs a value"},
        {{"install", "--root", "/r", "--bogus=1"}, "unknown option '--bogus'"},
        {{"install", "--root", "/r", "--fail=copy:0"},
         "--fail takes OP or OP:N with OP one of copy, attributes, remove, launch and N >= 1, not 'copy:0'"},
        {{"install", "uninstall"}, "unexpected argument 'uninstall'"},
        {{"status", "--root", "/r", "--plist", "--verify"}, "--plist and --verify cannot be given together"},
        {{"install"}, "--root is required (give --root / to work on this machine itself)"},
        {{}, "no command given"},
    };
    for (const auto& [arguments, expected] : cases) {
        std::string problem;
        EXPECT_FALSE(HostOptions::parse(arguments, &problem)) << expected;
        EXPECT_EQ(problem, expected);
    }
}

TEST(HostOptions, ValuesComeInEitherFormAndFailuresAccumulate) {
    std::string problem;
    const auto options = HostOptions::parse(
        {"-v", "install", "--root=/r", "--fail", "copy:2", "--fail=remove"}, &problem);
    ASSERT_TRUE(options) << problem;
    EXPECT_EQ(options->command, "install");
    EXPECT_EQ(options->root, "/r");
    EXPECT_TRUE(options->verbose);
    ASSERT_EQ(options->failures.size(), 2U);
    EXPECT_EQ(options->failures[0], std::make_pair(HostPrivilegeProvider::Operation::Copy, std::size_t{2}));
    EXPECT_EQ(options->failures[1], std::make_pair(HostPrivilegeProvider::Operation::Remove, std::size_t{0}));

    const auto status = HostOptions::parse({"status", "--plist", "--root", "/r"}, &problem);
    ASSERT_TRUE(status) << problem;
    EXPECT_TRUE(status->plist);
}

TEST(HostOptions, HelpAndVersionNeedNoRoot) {
    std::string problem;
    const auto help = HostOptions::parse({"help", "status"}, &problem);
    ASSERT_TRUE(help) << problem;
    EXPECT_TRUE(help->help);
    EXPECT_EQ(help->command, "status");
    const auto version = HostOptions::parse({"--version"}, &problem);
    ASSERT_TRUE(version) << problem;
    EXPECT_TRUE(version->version);
    EXPECT_EQ(HostOptions::versionText(), "Orvane Lite Updater " KVL_TEST_VERSION "\n");
}

}  // namespace
