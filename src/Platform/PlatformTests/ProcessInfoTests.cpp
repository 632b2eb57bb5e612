#include "Platform/ProcessInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <thread>

#include "Platform/Console.h"
#include "Platform/Host.h"

// The process, its system and the console lines that name them.
namespace {

using platform::ProcessInfo;

TEST(ProcessInfo, IdentifiesTheProcessItsThreadsAndItsSystem) {
    EXPECT_EQ(ProcessInfo::processName(), "PlatformTests");
    // The main thread's system id is the pid; another thread's differs.
    EXPECT_EQ(ProcessInfo::systemThreadID(), static_cast<std::uint64_t>(::getpid()));
    std::uint64_t other = ProcessInfo::systemThreadID();
    std::thread([&] { other = ProcessInfo::systemThreadID(); }).join();
    EXPECT_NE(other, ProcessInfo::systemThreadID());
    utsname system{};
    ASSERT_EQ(::uname(&system), 0);
    EXPECT_EQ(ProcessInfo::hostName(), system.nodename);
    EXPECT_EQ(ProcessInfo::operatingSystemVersionString(),
              std::string("Version ") + system.release + " (Build " + system.version + ")");
}

TEST(Host, SystemAddressesHoldTheLoopbackOnceEach) {
    const auto addresses = platform::Host::currentHostAddresses();
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
    EXPECT_EQ(std::set<std::string>(addresses.begin(), addresses.end()).size(), addresses.size());
}

// Messages reach the sink in every test that captures the console; here, the line itself.
TEST(Console, LinesCarryTimeProcessAndThread) {
    const std::string line = platform::Console::formatLine("hello");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match,
                                 std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S+\[(\d+):\d+\] hello\n$)")))
        << line;
    EXPECT_EQ(std::stoi(match[1]), ::getpid());
    // A message that ends its own line is not given a second one.
    EXPECT_TRUE(platform::Console::formatLine("done\n").ends_with("] done\n"));
}

}  // namespace
