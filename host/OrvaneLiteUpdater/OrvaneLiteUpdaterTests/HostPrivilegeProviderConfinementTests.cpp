#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "ErrorService/KVLCreateInternalError.h"
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
        fs::create_directories(outside + "/LaunchDaemons");
        std::ofstream(outside + "/LaunchDaemons/job.plist") << "outside";
        ::chmod((outside + "/LaunchDaemons/job.plist").c_str(), 0600);
        writeFile("job.plist", "inside");
        fs::create_directories(path("Library/LaunchDaemons"));
    }
    ~HostPrivilegeProviderConfinementTest() override { fs::remove_all(outside); }

    URL url(const std::string& relative) const { return URL::fileURLWithPath(path(relative)); }

    const std::string outside = root() + "-outside";
    kvltest::ServicesWithRecordingLogger services;
    HostPrivilegeProvider provider{platform::ConfinedRoot::open(root()),
                                   std::make_shared<kvltest::RecordingLogger>()};
    std::unique_ptr<IKVLInternalError> record = KVLCreateInternalError();
};

TEST_F(HostPrivilegeProviderConfinementTest, EveryOperationThroughALinkLeadingOutIsRefused) {
    const platform::PlistDictionary attributes{{"NSFilePosixPermissions", platform::PlistValue(0777)},
                                               {"NSFileOwnerAccountName", platform::PlistValue("nobody")}};
    const std::function<bool(const std::string&)> operations[] = {
        [&](const std::string& link) { return provider.copyFile(url("job.plist"), url(link + "/job.plist"), true, true, record.get()); },
        [&](const std::string& link) { return provider.copyFile(url(link + "/job.plist"), url("copy"), true, true, record.get()); },
        [&](const std::string& link) { return provider.setAttributes(attributes, path(link + "/job.plist"), record.get()); },
        [&](const std::string& link) { return provider.removeFileAt(url(link + "/job.plist"), record.get()); },
    };
    fs::create_directory_symlink(outside + "/LaunchDaemons", path("Library/absolute"));
    fs::create_directory_symlink("../../" + fs::path(outside).filename().string() + "/LaunchDaemons",
                                 path("Library/climbing"));
    const auto before = kvltest::snapshotOf(outside);
    for (const std::string link : {"Library/absolute", "Library/climbing"}) {
        for (std::size_t index = 0; index < std::size(operations); ++index) {
            record->reset();
            EXPECT_FALSE(operations[index](link)) << link << " " << index;
            EXPECT_EQ(record->getErrorCode(), EPERM) << link << " " << index;
        }
    }
    EXPECT_EQ(kvltest::snapshotOf(outside), before);
    EXPECT_FALSE(fs::exists(path("copy")));
}

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

TEST_F(HostPrivilegeProviderConfinementTest, AFailedCommandReportsItsStandardError) {
    EXPECT_FALSE(provider.launchCommand("echo out; echo why >&2; exit 1", record.get()));
    EXPECT_EQ(record->getDescription(), "\"echo out; echo why >&2; exit 1\" exited with status 1: out\nwhy\n");
}

}  // namespace
