#include "HostPrivilegeProvider.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace
