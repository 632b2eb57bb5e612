#include <gtest/gtest.h>

#include "ErrorService/KVLCreateInternalError.h"
#include "KVLSharedUtil/NSMutableArray+InternalErrorObject.h"
#include "TestSupport/LoadedServices.h"

namespace {

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
