#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "ErrorService/KVLCreateInternalError.h"
#include "KVLSharedUtil/KVLApplicationInformation.h"
#include "KVLSharedUtil/NSMutableArray+InternalErrorObject.h"
#include "Platform/ProcessInfo.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingAPIBypass.h"

namespace {

TEST(KVLSharedUtil, BracketsReachOnlyTheInstalledBypass) {
    const auto shared = KVLSharedUtil::sharedInstance();
    EXPECT_EQ(shared->getAPIBypass(), nullptr);
    KVLSharedUtil::enterSafeZone();  // nothing installed: no effect
    KVLSharedUtil::exitSafeZone();

    auto first = std::make_shared<kvltest::RecordingAPIBypass>();
    auto second = std::make_shared<kvltest::RecordingAPIBypass>();
    shared->setAPIBypass(first);
    KVLSharedUtil::enterSafeZone();
    shared->setAPIBypass(second);
    EXPECT_EQ(shared->getAPIBypass(), second);
    KVLSharedUtil::exitSafeZone();
    shared->setAPIBypass(nullptr);
    EXPECT_EQ(first->calls, std::vector<std::string>{"enter"});
    EXPECT_EQ(second->calls, std::vector<std::string>{"exit"});
    EXPECT_EQ(first.use_count(), 1);  // released by the replacement
}

TEST(KVLApplicationInformation, SandboxedWhenTheMarkerIsSetWhateverItsValue) {
    const auto saved = platform::ProcessInfo::environmentValue("APP_SANDBOX_CONTAINER_ID");
    ::unsetenv("APP_SANDBOX_CONTAINER_ID");
    ::setenv("APP_SANDBOX_CONTAINER", "1", 1);  // a near miss
    EXPECT_FALSE(KVLApplicationInformation::isApplicationSandboxed());
    ::unsetenv("APP_SANDBOX_CONTAINER");
    for (const char* value : {"", "com.example.container"}) {
        ::setenv("APP_SANDBOX_CONTAINER_ID", value, 1);
        EXPECT_TRUE(KVLApplicationInformation::isApplicationSandboxed()) << value;
    }
    if (saved) {
        ::setenv("APP_SANDBOX_CONTAINER_ID", saved->c_str(), 1);
    } else {
        ::unsetenv("APP_SANDBOX_CONTAINER_ID");
    }
}

TEST(NSMutableArrayInternalErrorObject, AddsIndependentCopiesOnlyWhileTheErrorServiceIsLoaded) {
    const kvltest::ServicesWithRecordingLogger services;
    auto record = KVLCreateInternalError();
    record->populateWithErrorMessage("first", -14004, 1, "src/f", 3, std::nullopt);

    std::vector<std::unique_ptr<IKVLInternalError>> errors;
    NSMutableArrayInternalErrorObject::addCopyOfInternalErrorObject(errors, record.get());
    NSMutableArrayInternalErrorObject::addCopyOfInternalErrorObject(errors, nullptr);
    record->populateWithErrorMessage("second", 2, 1, "src/f", 4, std::nullopt);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]->getDescription(), "first");
    EXPECT_EQ(errors[0]->getErrorCode(), -14004);

    kvltest::unloadAllServices();
    NSMutableArrayInternalErrorObject::addCopyOfInternalErrorObject(errors, record.get());
    EXPECT_EQ(errors.size(), 1u);
}

}  // namespace
