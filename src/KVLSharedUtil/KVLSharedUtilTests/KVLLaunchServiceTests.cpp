#include <gtest/gtest.h>

#include "KVLSharedUtil/KVLFileOperationHelper.h"
#include "KVLSharedUtil/KVLLaunchServiceHelper.h"
#include "LoggedServicesTest.h"
#include "Platform/FileManager.h"
#include "TestSupport/RecordingPrivilegeProvider.h"

namespace {

using Operation = kvltest::RecordingPrivilegeProvider::Operation;
using platform::URL;

class KVLLaunchServiceTest : public kvltest::LoggedServicesTest {
protected:
    KVLLaunchServiceTest() {
        writeFile("app/LaunchServices/com.orvane.OrvaneLite.CopyHelper.plist", "daemon");
        writeFile("app/LaunchServices/com.orvane.OrvaneLite.AutoUpdater.plist", "agent");
    }

    URL shipped(const std::string& name) const { return URL::fileURLWithPath(path("app/LaunchServices/" + name)); }
    KVLLaunchService daemon() const {
        return KVLLaunchService(KVLLaunchServiceTypeGlobalDaemon, shipped("com.orvane.OrvaneLite.CopyHelper.plist"),
                                provider);
    }

    std::shared_ptr<kvltest::RecordingPrivilegeProvider> provider =
        std::make_shared<kvltest::RecordingPrivilegeProvider>();
    const std::string daemonPlist = path("Library/LaunchDaemons/com.orvane.OrvaneLite.CopyHelper.plist");
};

TEST_F(KVLLaunchServiceTest, AnInstalledFileIsReplacedOnlyWhenAsked) {
    writeFile(daemonPlist, "installed");
    daemon().registerServiceWithReplaceExisting(false, record.get());
    expectFailure(-14003, KVLInternalErrorTypeInternal, "Launch Service already exist.",
                  "src/KVLSharedUtil/KVLSharedUtil/KVLLaunchService");
    EXPECT_TRUE(provider->calls().empty());

    // With replace: unload and unregister first, their failures dropped, then copy again.
    provider->failCall(Operation::LaunchCommand, 1, {"unload failed", 5, KVLInternalErrorTypeOther});
    provider->failCall(Operation::RemoveFileAt, 1, {"remove failed", 6, KVLInternalErrorTypeOther});
    daemon().registerServiceWithReplaceExisting(true, record.get());
    EXPECT_TRUE(record->isSuccess());
    ASSERT_EQ(provider->calls().size(), 4u);
    EXPECT_EQ(provider->calls()[0].commandLine, "launchctl unload " + daemonPlist);
    EXPECT_EQ(provider->calls()[1].operation, Operation::RemoveFileAt);
    EXPECT_TRUE(provider->calls()[2].recordWasSuccess);  // the dropped failures do not reach the copy
    EXPECT_TRUE(provider->calls()[2].replaceExisting);   // over whatever the failed removal left
    EXPECT_EQ(logger->lines()[1].message, "Removing Older Launch Service before registering new.");
}

TEST_F(KVLLaunchServiceTest, ACopyFailureSetsNoAttributesAndIsLogged) {
    provider->failCall(Operation::CopyFile, 1, {"copy failed", 13, KVLInternalErrorTypePosix});
    daemon().registerServiceWithReplaceExisting(true, record.get());
    EXPECT_EQ(record->getDescription(), "copy failed");
    EXPECT_EQ(provider->callsOf(Operation::SetAttributes).size(), 0u);
    EXPECT_EQ(logger->messages(),
              std::vector<std::string>{"Failed to register Launch service with error " + record->description() + "."});
}

TEST_F(KVLLaunchServiceTest, TheCurrentUsersAgentDoesItsFileWorkInProcess) {
    const std::string installed = home() + "/Library/LaunchAgents/com.orvane.OrvaneLite.AutoUpdater.plist";
    ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(home() + "/Library/LaunchAgents", true));
    KVLLaunchService job(KVLLaunchServiceTypeCurrentUserAgent, shipped("com.orvane.OrvaneLite.AutoUpdater.plist"),
                         provider);
    job.registerServiceWithReplaceExisting(false, record.get());
    EXPECT_TRUE(record->isSuccess());
    EXPECT_EQ(readFile(installed), "agent");
    job.unregisterServiceWithError(record.get());
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(installed));
    EXPECT_TRUE(provider->calls().empty());
}

TEST_F(KVLLaunchServiceTest, BatchesKeepTheLastFailureOrStopAtTheFirst) {
    KVLLaunchServiceHelper helper(provider);
    EXPECT_FALSE(helper.addGlobalDaemonWithPListPath(std::nullopt));
    for (const char* name : {"one.plist", "two.plist", "three.plist"}) {
        ASSERT_TRUE(helper.addGlobalDaemonWithPListPath(shipped(name)));
    }
    provider->failCall(Operation::RemoveFileAt, 2, {"second", 2, KVLInternalErrorTypeOther});
    helper.unregisterLaunchServicesWithError(record.get(), false);
    EXPECT_EQ(provider->calls().size(), 2u);
    EXPECT_EQ(record->getDescription(), "second");

    record->reset();
    provider->failCall(Operation::LaunchCommand, 1, {"first", 1, KVLInternalErrorTypeOther});
    provider->failCall(Operation::LaunchCommand, 3, {"third", 3, KVLInternalErrorTypeOther});
    helper.loadLaunchServicesWithError(record.get(), true);
    EXPECT_EQ(provider->callsOf(Operation::LaunchCommand).size(), 3u);
    EXPECT_EQ(record->getDescription(), "third");
    for (const auto& call : provider->callsOf(Operation::LaunchCommand)) {
        EXPECT_TRUE(call.recordWasSuccess);  // a fresh record for every job
        EXPECT_NE(call.record, record.get());
    }
}

TEST_F(KVLLaunchServiceTest, CopyListIsKeyedByDestinationAndDeleteListMustNotBeEmpty) {
    KVLFileOperationHelper files(provider);
    const URL first = URL::fileURLWithPath(path("a")), second = URL::fileURLWithPath(path("b"));
    const URL target = URL::fileURLWithPath(path("t"));
    EXPECT_FALSE(files.addFromFileToCopyList(std::nullopt, target) || files.addFromFileToCopyList(first, std::nullopt));
    EXPECT_TRUE(files.addFromFileToCopyList(first, target));
    EXPECT_TRUE(files.addFromFileToCopyList(second, target));
    files.copyFileWithError(record.get(), false);
    ASSERT_EQ(provider->calls().size(), 1u);
    EXPECT_EQ(provider->calls()[0].source, second);

    files.deleteFilesWithError(record.get());
    expectFailure(
        -10003, KVLInternalErrorTypePosix,
        "KVLFileOperationHelper - No files to delete - System Error Message Not Found For Error Number: -10003",
        "src/KVLSharedUtil/KVLSharedUtil/KVLFileOperationHelper");

    // Every removal gets the caller's own record; a failure does not stop the next one.
    EXPECT_FALSE(files.addFileToDeleteFilesList(std::nullopt));
    EXPECT_TRUE(files.addFileToDeleteFilesList(first));
    EXPECT_TRUE(files.addFileToDeleteFilesList(first));
    provider->failCall(Operation::RemoveFileAt, 1, {"gone", 2, KVLInternalErrorTypeOther});
    files.deleteFilesWithError(record.get());
    const auto removals = provider->callsOf(Operation::RemoveFileAt);
    ASSERT_EQ(removals.size(), 2u);
    EXPECT_EQ(removals[1].record, record.get());
    EXPECT_FALSE(removals[1].recordWasSuccess);
    EXPECT_EQ(record->getDescription(), "gone");
}

}  // namespace
