#include "HostPrivilegeProvider.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "ErrorService/KVLCreateInternalError.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingLogger.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::URL;
using Operation = HostPrivilegeProvider::Operation;

class HostPrivilegeProviderTest : public kvltest::TemporaryRootTest {
protected:
    URL url(const std::string& relative) const { return URL::fileURLWithPath(path(relative)); }

    // Records come from the error service; the provider logs to the host's logger, its own.
    kvltest::ServicesWithRecordingLogger services;
    std::shared_ptr<kvltest::RecordingLogger> logger = std::make_shared<kvltest::RecordingLogger>();
    HostPrivilegeProvider provider{platform::ConfinedRoot::open(root()), logger};
    std::unique_ptr<IKVLInternalError> record = KVLCreateInternalError();
};

TEST_F(HostPrivilegeProviderTest, CopiesIntoNewFoldersReplacingAndLogsEachCall) {
    writeFile("a", "new");
    writeFile("deep/b", "old");
    EXPECT_TRUE(provider.copyFile(url("a"), url("deep/er/b"), true, true, record.get()));
    EXPECT_TRUE(provider.copyFile(url("a"), url("deep/b"), true, true, record.get()));
    EXPECT_TRUE(record->isSuccess());
    EXPECT_EQ(readFile("deep/er/b"), "new");
    EXPECT_EQ(readFile("deep/b"), "new");
    EXPECT_EQ(logger->messages().back(), "Privilege provider: copy " + path("a") + " -> " + path("deep/b"));

    EXPECT_FALSE(provider.copyFile(url("none"), url("c"), true, true, record.get()));
    EXPECT_FALSE(record->isSuccess());
    EXPECT_NE(record->getDescription()->find("none"), std::string::npos) << *record->getDescription();
}

TEST_F(HostPrivilegeProviderTest, RefusesEveryPathOutsideTheRoot) {
    writeFile("a", "x");
    const std::string outside = root() + "-outside/a";
    EXPECT_FALSE(provider.copyFile(url("a"), URL::fileURLWithPath(outside), true, true, record.get()));
    EXPECT_EQ(record->getDescription(), "“" + outside + "” lies outside the root “" + root() + "”.");
    EXPECT_EQ(record->getErrorCode(), EPERM);
    EXPECT_FALSE(std::filesystem::exists(root() + "-outside"));

    for (const std::string& escape : {path("sub/../../x"), std::string("/etc/passwd"), path("..")}) {
        record->reset();
        EXPECT_FALSE(provider.removeFileAt(URL::fileURLWithPath(escape), record.get())) << escape;
        EXPECT_EQ(record->getErrorCode(), EPERM) << escape;
        record->reset();
        EXPECT_FALSE(provider.setAttributes({}, escape, record.get())) << escape;
    }
    EXPECT_TRUE(std::filesystem::exists("/etc/passwd"));

    // A link under the root that leads out of it.
    std::filesystem::create_directories(root() + "-outside");
    std::filesystem::create_directory_symlink(root() + "-outside", path("link"));
    record->reset();
    EXPECT_FALSE(provider.copyFile(url("a"), url("link/a"), true, true, record.get()));
    EXPECT_EQ(record->getErrorCode(), EPERM);
    EXPECT_FALSE(std::filesystem::exists(root() + "-outside/a"));
    std::filesystem::remove_all(root() + "-outside");
}

TEST_F(HostPrivilegeProviderTest, ChosenCallsFail) {
    provider.failCall(Operation::Copy, 2);
    provider.failCall(Operation::Remove, 0);
    writeFile("a", "x");
    EXPECT_TRUE(provider.copyFile(url("a"), url("b"), true, true, record.get()));
    EXPECT_FALSE(provider.copyFile(url("a"), url("c"), true, true, record.get()));
    EXPECT_EQ(record->getDescription(), "Injected failure of copy " + path("a") + " -> " + path("c"));
    EXPECT_FALSE(std::filesystem::exists(path("c")));
    record->reset();
    EXPECT_TRUE(provider.copyFile(url("a"), url("d"), true, true, record.get()));
    for (int call = 0; call < 3; ++call) {
        EXPECT_FALSE(provider.removeFileAt(url("b"), record.get()));
    }
    EXPECT_TRUE(std::filesystem::exists(path("b")));

    Operation named{};
    EXPECT_TRUE(HostPrivilegeProvider::operationNamed("attributes", &named));
    EXPECT_EQ(named, Operation::SetAttributes);
    EXPECT_FALSE(HostPrivilegeProvider::operationNamed("chmod", &named));
}

TEST_F(HostPrivilegeProviderTest, AttributesRemovalAndCommands) {
    writeFile("f", "x");
    ::chmod(path("f").c_str(), 0600);
    const platform::PlistDictionary attributes{{"NSFilePosixPermissions", platform::PlistValue(0644)},
                                               {"NSFileOwnerAccountName", platform::PlistValue("root")},
                                               {"NSFileGroupOwnerAccountName", platform::PlistValue("wheel")}};
    EXPECT_TRUE(provider.setAttributes(attributes, path("f"), record.get()));
    struct stat info {};
    ASSERT_EQ(::stat(path("f").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    if (::geteuid() == 0) {
        EXPECT_EQ(info.st_uid, 0u);
        EXPECT_EQ(info.st_gid, 0u);
    }

    writeFile("folder/inner/g", "x");
    EXPECT_TRUE(provider.removeFileAt(url("folder"), record.get()));
    EXPECT_FALSE(std::filesystem::exists(path("folder")));

    EXPECT_TRUE(provider.launchCommand("true", record.get()));
    EXPECT_TRUE(record->isSuccess());
    EXPECT_FALSE(provider.launchCommand("echo busy; exit 3", record.get()));
    EXPECT_EQ(record->getErrorCode(), 3);
    EXPECT_EQ(record->getDescription(), "\"echo busy; exit 3\" exited with status 3: busy\n");
}

TEST_F(HostPrivilegeProviderTest, FileSystemFailuresComeBackThroughTheRecord) {
    writeFile("a", "new");
    writeFile("blocker", "a file where a folder is needed");
    EXPECT_FALSE(provider.copyFile(url("a"), url("blocker/b"), true, true, record.get()));
    EXPECT_FALSE(record->isSuccess());
    EXPECT_EQ(readFile("blocker"), "a file where a folder is needed");

    record->reset();
    EXPECT_FALSE(provider.setAttributes({{"NSFilePosixPermissions", platform::PlistValue(0644)}}, path("missing"),
                                        record.get()));
    EXPECT_FALSE(record->isSuccess());
    EXPECT_FALSE(std::filesystem::exists(path("missing")));
}

TEST_F(HostPrivilegeProviderTest, AGroupThatExistsIsSetByName) {
    const group* existing = ::getgrnam("nogroup");
    if (::geteuid() != 0 || existing == nullptr) {
        GTEST_SKIP() << "needs root and the group nogroup";
    }
    writeFile("f", "x");
    EXPECT_TRUE(provider.setAttributes({{"NSFileGroupOwnerAccountName", platform::PlistValue("nogroup")}}, path("f"),
                                       record.get()));
    struct stat info {};
    ASSERT_EQ(::stat(path("f").c_str(), &info), 0);
    EXPECT_EQ(info.st_gid, existing->gr_gid);
}

}  // namespace
