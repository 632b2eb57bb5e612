#include "Platform/ProcessInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

using platform::ProcessInfo;

TEST(ProcessInfo, IdentifiesTheProcessAndItsThreads) {
    EXPECT_EQ(ProcessInfo::processIdentifier(), ::getpid());
    EXPECT_EQ(ProcessInfo::processName(), "PlatformTests");
    // The main thread's system id is the pid; another thread's differs.
    EXPECT_EQ(ProcessInfo::systemThreadID(), static_cast<std::uint64_t>(::getpid()));
    std::uint64_t other = 0;
    std::thread([&] { other = ProcessInfo::systemThreadID(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, ProcessInfo::systemThreadID());
}

TEST(ProcessInfo, EnvironmentTellsUnsetFromEmpty) {
    ::setenv("KVL_PROCESS_INFO_TEST", "", 1);
    EXPECT_EQ(ProcessInfo::environmentValue("KVL_PROCESS_INFO_TEST"), "");
    EXPECT_EQ(ProcessInfo::environment().at("KVL_PROCESS_INFO_TEST"), "");
    ::setenv("KVL_PROCESS_INFO_TEST", "a=b", 1);
    EXPECT_EQ(ProcessInfo::environment().at("KVL_PROCESS_INFO_TEST"), "a=b");
    ::unsetenv("KVL_PROCESS_INFO_TEST");
    EXPECT_EQ(ProcessInfo::environmentValue("KVL_PROCESS_INFO_TEST"), std::nullopt);
}

TEST(ProcessInfo, HostAndSystemComeFromTheKernel) {
    std::ifstream hostFile("/proc/sys/kernel/hostname");
    std::string host;
    std::getline(hostFile, host);
    EXPECT_EQ(ProcessInfo::hostName(), host);
    EXPECT_EQ(ProcessInfo::operatingSystemName(), "Linux");
    utsname system{};
    ASSERT_EQ(::uname(&system), 0);
    EXPECT_EQ(ProcessInfo::operatingSystemVersionString(),
              std::string("Version ") + system.release + " (Build " + system.version + ")");
}

}  // namespace
