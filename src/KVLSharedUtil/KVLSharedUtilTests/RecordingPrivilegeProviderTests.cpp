#include "TestSupport/RecordingPrivilegeProvider.h"

#include <gtest/gtest.h>

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "TestSupport/LoadedServices.h"

namespace {

using Operation = kvltest::RecordingPrivilegeProvider::Operation;

class RecordingPrivilegeProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        kvltest::unloadAllServices();
        std::shared_ptr<platform::Error> slot;
        KVLErrorService::load(nullptr, &slot);
        ASSERT_TRUE(KVLErrorService::isLoaded());
    }
    void TearDown() override { kvltest::unloadAllServices(); }
};

// Later tests of the launch services lean on this fake: the order, the arguments and the
// chosen failure must be exactly what it reports.
TEST_F(RecordingPrivilegeProviderTest, RecordsCallsInOrderAndFailsTheChosenOne) {
    kvltest::RecordingPrivilegeProvider provider;
    provider.failCall(Operation::LaunchCommand, 2, {"denied", -42, KVLInternalErrorTypePosix});

    const auto first = KVLCreateInternalError();
    const auto second = KVLCreateInternalError();
    ASSERT_NE(first, nullptr);
    const auto source = platform::URL::fileURLWithPath("/src/a.plist", false);
    const auto destination = platform::URL::fileURLWithPath("/dst/a.plist", false);
    EXPECT_TRUE(provider.copyFile(source, destination, true, false, first.get()));
    EXPECT_TRUE(provider.setAttributes({{"NSFileOwnerAccountName", "root"}}, "/dst/a.plist", first.get()));
    EXPECT_TRUE(provider.launchCommand("launchctl load /dst/a.plist", first.get()));
    EXPECT_FALSE(provider.launchCommand("launchctl unload /dst/a.plist", second.get()));
    EXPECT_TRUE(provider.removeFileAt(destination, nullptr));
    EXPECT_TRUE(provider.launchCommand("third", nullptr));

    EXPECT_TRUE(first->isSuccess());
    ASSERT_FALSE(second->isSuccess());
    EXPECT_EQ(second->getDescription(), "denied");
    EXPECT_EQ(second->getErrorCode(), -42);
    EXPECT_EQ(second->getErrorType(), KVLInternalErrorTypePosix);

    const auto& calls = provider.calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].operation, Operation::CopyFile);
    EXPECT_EQ(calls[0].source, source);
    EXPECT_EQ(calls[0].destination, destination);
    EXPECT_TRUE(calls[0].createIntermediateDirectories);
    EXPECT_FALSE(calls[0].replaceExisting);
    EXPECT_EQ(calls[1].operation, Operation::SetAttributes);
    EXPECT_EQ(calls[1].path, "/dst/a.plist");
    EXPECT_EQ(calls[1].attributes, (platform::PlistDictionary{{"NSFileOwnerAccountName", "root"}}));
    EXPECT_EQ(calls[3].commandLine, "launchctl unload /dst/a.plist");
    EXPECT_EQ(calls[3].record, second.get());
    EXPECT_TRUE(calls[3].recordWasSuccess);
    EXPECT_EQ(calls[4].operation, Operation::RemoveFileAt);
    EXPECT_FALSE(calls[4].recordWasSuccess);  // no record at all

    const auto commands = provider.callsOf(Operation::LaunchCommand);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[2].commandLine, "third");
}

}  // namespace
