#include "Platform/ProcessInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

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

}  // namespace
