#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "HostOptions.h"

namespace {

struct RefusedLine {
    std::vector<std::string> arguments;
    std::string problem;
};

TEST(HostOptions, RefusedCommandLinesSayWhy) {
    const std::vector<RefusedLine> cases{
        {{"statsu", "--root", "/r"}, "unknown command 'statsu' (did you mean 'status'?)"},
        {{"help", "bogus"}, "unknown command 'bogus'"},
        {{"install", "--root", "/r", "--root=/s"}, "--root is given more than once"},
        {{"status", "--root", "/r", "--verify=yes"}, "--verify takes no value"},
        {{"install", "--root", "/r", "--verify"}, "--verify does not belong to the install command"},
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

TEST(HostOptions, ValuesComeInEitherFormFailuresAccumulateAndHelpNeedsNoRoot) {
    std::string problem;
    const auto options =
        HostOptions::parse({"-v", "install", "--root=/r", "--fail", "copy:2", "--fail=remove"}, &problem).value();
    EXPECT_EQ(std::tie(options.command, options.root, options.verbose), std::make_tuple("install", "/r", true));
    using Operation = HostPrivilegeProvider::Operation;
    EXPECT_EQ(options.failures, (decltype(options.failures){{Operation::Copy, 2}, {Operation::Remove, 0}}));
    const auto help = HostOptions::parse({"help", "status"}, &problem).value();
    EXPECT_EQ(std::tie(help.help, help.command), std::make_tuple(true, "status"));
}

}  // namespace
