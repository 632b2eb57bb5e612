#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "HostPrivilegeProvider.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingLogger.h"
#include "TestSupport/TemporaryRoot.h"
#include "TestSupport/TreeSnapshot.h"

namespace {

namespace fs = std::filesystem;
using platform::URL;

class HostPrivilegeProviderConfinementTest : public kvltest::TemporaryRootTest {
protected:
    HostPrivilegeProviderConfinementTest() {
        writeFile(outside + "/LaunchDaemons/job.plist", "outside");
        ::chmod((outside + "/LaunchDaemons/job.plist").c_str(), 0600);
        writeFile("job.plist", "inside");
        fs::create_directories(path("Library/LaunchDaemons"));
    }
    ~HostPrivilegeProviderConfinementTest() override { fs::remove_all(outside); }

    URL url(const std::string& relative) const { return URL::fileURLWithPath(path(relative)); }

    const std::string outside = root() + "-outside";
    kvltest::ServicesWithRecordingLogger services;
    HostPrivilegeProvider provider{platform::ConfinedRoot::open(root()), std::make_shared<kvltest::RecordingLogger>()};
};

TEST_F(HostPrivilegeProviderConfinementTest, StressSwappingAFolderForALinkNeverReachesOutside) {
    fs::create_directory_symlink(outside + "/LaunchDaemons", path("Library/swap"));
    const auto before = kvltest::snapshotOf(outside);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            ::renameat2(AT_FDCWD, path("Library/LaunchDaemons").c_str(), AT_FDCWD, path("Library/swap").c_str(),
                        RENAME_EXCHANGE);
        }
    });
    const platform::PlistDictionary attributes{{"NSFilePosixPermissions", platform::PlistValue(0777)}};
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int cycles = 0;
    for (; std::chrono::steady_clock::now() < end; ++cycles) {
        provider.copyFile(url("job.plist"), url("Library/LaunchDaemons/job.plist"), true, true, nullptr);
        provider.setAttributes(attributes, path("Library/LaunchDaemons/job.plist"), nullptr);
        provider.removeFileAt(url("Library/LaunchDaemons/job.plist"), nullptr);
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(kvltest::snapshotOf(outside), before) << "after " << cycles << " cycles";
    EXPECT_GT(cycles, 100);
}

}  // namespace
