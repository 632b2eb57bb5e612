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
    EXPECT_NE(record->getDescription()->find("none"), std::string::npos) << *record->getDescription();
    writeFile("blocker", "a file where a folder is needed");
    record->reset();
    EXPECT_FALSE(provider.copyFile(url("a"), url("blocker/b"), true, true, record.get()));
    EXPECT_FALSE(record->isSuccess());
    EXPECT_EQ(readFile("blocker"), "a file where a folder is needed");
}

TEST_F(HostPrivilegeProviderTest, RefusesEveryPathOutsideTheRoot) {
    // Confined to a folder of the test's root: a path wrongly let through is still the test's own.
    writeFile("jail/a", "x");
    HostPrivilegeProvider jailed{platform::ConfinedRoot::open(path("jail")), logger};
    writeFile("victim", "kept");
    EXPECT_FALSE(jailed.copyFile(url("jail/a"), url("outside/a"), true, true, record.get()));
    EXPECT_EQ(record->getDescription(), "“" + path("outside/a") + "” lies outside the root “" + path("jail") + "”.");
    EXPECT_EQ(record->getErrorCode(), EPERM);
    EXPECT_FALSE(std::filesystem::exists(path("outside")));

    for (const std::string& escape : {path("jail/sub/../../victim"), path("victim"), path("jail/..")}) {
        record->reset();
        EXPECT_FALSE(jailed.removeFileAt(URL::fileURLWithPath(escape), record.get())) << escape;
        EXPECT_EQ(record->getErrorCode(), EPERM) << escape;
        record->reset();
        EXPECT_FALSE(jailed.setAttributes({}, escape, record.get())) << escape;
    }
    EXPECT_EQ(readFile("victim"), "kept");

    // A link under the root that leads out of it.
    std::filesystem::create_directories(path("outside"));
    std::filesystem::create_directory_symlink(path("outside"), path("jail/link"));
    record->reset();
    EXPECT_FALSE(jailed.copyFile(url("jail/a"), url("jail/link/a"), true, true, record.get()));
    EXPECT_EQ(record->getErrorCode(), EPERM);
    EXPECT_FALSE(std::filesystem::exists(path("outside/a")));
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

    EXPECT_FALSE(provider.setAttributes(attributes, path("missing"), record.get()));
    EXPECT_FALSE(record->isSuccess());
    EXPECT_FALSE(std::filesystem::exists(path("missing")));
    record->reset();

    writeFile("folder/inner/g", "x");
    EXPECT_TRUE(provider.removeFileAt(url("folder"), record.get()));
    EXPECT_FALSE(std::filesystem::exists(path("folder")));

    EXPECT_TRUE(provider.launchCommand("true", record.get()));
    EXPECT_TRUE(record->isSuccess());
    EXPECT_FALSE(provider.launchCommand("echo busy; exit 3", record.get()));
    EXPECT_EQ(record->getErrorCode(), 3);
    EXPECT_EQ(record->getDescription(), "\"echo busy; exit 3\" exited with status 3: busy\n");
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
