#include "HostPrivilegeProvider.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "ErrorService/KVLCreateInternalError.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingLogger.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::URL;

class HostPrivilegeProviderTest : public kvltest::TemporaryRootTest {
protected:
    URL url(const std::string& relative) const { return URL::fileURLWithPath(path(relative)); }

    // Records come from the error service; the provider logs to the host's logger, its own.
    kvltest::ServicesWithRecordingLogger services;
    std::shared_ptr<kvltest::RecordingLogger> logger = std::make_shared<kvltest::RecordingLogger>();
    HostPrivilegeProvider provider{platform::ConfinedRoot::open(root()), logger};
    std::unique_ptr<IKVLInternalError> record = KVLCreateInternalError();
};

TEST_F(HostPrivilegeProviderTest, ACopyBlockedByAFileFailsAndLeavesItAlone) {
    writeFile("a", "new");
    writeFile("blocker", "a file where a folder is needed");
    EXPECT_FALSE(provider.copyFile(url("a"), url("blocker/b"), true, true, record.get()));
    EXPECT_FALSE(record->isSuccess());
    EXPECT_EQ(readFile("blocker"), "a file where a folder is needed");
}

TEST_F(HostPrivilegeProviderTest, AttributesAndCommands) {
    writeFile("f", "x");
    ::chmod(path("f").c_str(), 0600);
    const group* nogroup = ::getgrnam("nogroup");
    const bool byName = ::geteuid() == 0 && nogroup != nullptr;
    const platform::PlistDictionary attributes{
        {"NSFilePosixPermissions", platform::PlistValue(0644)},
        {"NSFileOwnerAccountName", platform::PlistValue("root")},
        {"NSFileGroupOwnerAccountName", platform::PlistValue(byName ? "nogroup" : "wheel")}};
    EXPECT_TRUE(provider.setAttributes(attributes, path("f"), record.get()));
    struct stat info {};
    ASSERT_EQ(::stat(path("f").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    if (byName) {
        EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(0u, nogroup->gr_gid));
    }
    EXPECT_FALSE(provider.setAttributes(attributes, path("missing"), record.get()));
    EXPECT_FALSE(record->isSuccess());
    record->reset();

    EXPECT_FALSE(provider.launchCommand("echo out; echo why >&2; exit 3", record.get()));
    EXPECT_EQ(record->getErrorCode(), 3);
    EXPECT_EQ(record->getDescription(), "\"echo out; echo why >&2; exit 3\" exited with status 3: out\nwhy\n");
}

TEST_F(HostPrivilegeProviderTest, PlainLaunchctlLinesRunWithoutAShell) {
    // A launchctl that names the program that started it and the path it was given.
    writeFile("bin/launchctl",
              "#!/bin/sh\nprintf '%s %s\\n' \"$(cat /proc/$PPID/comm)\" \"$2\"\necho why >&2\nexit 4\n");
    ::chmod(path("bin/launchctl").c_str(), 0755);
    const std::string savedPath = std::getenv("PATH");
    ::setenv("PATH", (path("bin") + ":" + savedPath).c_str(), 1);
    const struct {
        std::string commandLine;
        std::string output;
    } cases[] = {
        {"launchctl  load /a/b.plist", std::string(program_invocation_short_name).substr(0, 15) + " /a/b.plist\nwhy\n"},
        {"launchctl load '/a b.plist'", "sh /a b.plist\nwhy\n"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(provider.launchCommand(c.commandLine, record.get()));
        EXPECT_EQ(record->getDescription(), "\"" + c.commandLine + "\" exited with status 4: " + c.output);
        record->reset();
    }
    ::setenv("PATH", path("nowhere").c_str(), 1);
    EXPECT_FALSE(provider.launchCommand("launchctl list", record.get()));
    EXPECT_EQ(record->getErrorCode(), -1);
    EXPECT_EQ(record->getDescription(), "\"launchctl list\" could not be started");
    ::setenv("PATH", savedPath.c_str(), 1);
}

}  // namespace
