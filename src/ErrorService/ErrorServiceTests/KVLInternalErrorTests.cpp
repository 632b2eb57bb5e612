#include <gtest/gtest.h>

#include "ErrorService/Private/KVLInternalError.h"

namespace {

TEST(KVLInternalError, FreshAndResetRecordsAreSuccessRecords) {
    KVLInternalError record;
    EXPECT_TRUE(record.isSuccess());
    EXPECT_EQ(record.getErrorCode(), 1);
    EXPECT_EQ(record.getErrorType(), 0);
    EXPECT_EQ(record.getLineNo(), 0);
    EXPECT_EQ(record.getDescription(), std::nullopt);
    EXPECT_EQ(record.getFileName(), std::nullopt);
    EXPECT_EQ(record.getContext(), std::nullopt);
    EXPECT_EQ(record.description(), "Code: 1, Type: 0, Message: (null), Context: (null)");

    record.populateWithErrorMessage("m", -10004, KVLInternalErrorTypeInternal, "src/x/File", 12,
                                    platform::PlistDictionary{{"k", platform::PlistValue("v")}});
    EXPECT_FALSE(record.isSuccess());
    record.reset();
    EXPECT_TRUE(record.isSuccess());
    EXPECT_EQ(record.getErrorCode(), 1);
    EXPECT_EQ(record.description(), "Code: 1, Type: 0, Message: (null), Context: (null)");
}

TEST(KVLInternalError, PopulateFormsSetMessageCodeAndType) {
    KVLInternalError record;
    record.populateWithErrorMessage("Logger is already initialized", -10004, KVLInternalErrorTypeInternal,
                                    "src/LoggerService/LoggerService/Private/KVLLoggerService", 77, std::nullopt);
    EXPECT_EQ(record.getDescription(), "Logger is already initialized");
    EXPECT_EQ(record.getErrorCode(), -10004);
    EXPECT_EQ(record.getErrorType(), 1);
    EXPECT_EQ(record.getFileName(), "src/LoggerService/LoggerService/Private/KVLLoggerService");
    EXPECT_EQ(record.getLineNo(), 77);
    EXPECT_EQ(record.description(), "Code: -10004, Type: 1, Message: Logger is already initialized, Context: (null)");

    const platform::PlistDictionary context{{"Path", platform::PlistValue("/tmp/x")}};
    record.populateWithErrorno(2, "Copy failed", "src/a/Copier", 31, context);
    EXPECT_EQ(record.getDescription(), "Copy failed - No such file or directory");
    EXPECT_EQ(record.getErrorCode(), 2);
    EXPECT_EQ(record.getErrorType(), KVLInternalErrorTypePosix);
    EXPECT_EQ(record.getFileName(), "src/a/Copier");
    EXPECT_EQ(record.getLineNo(), 31);
    EXPECT_EQ(record.getContext(), context);
    EXPECT_FALSE(record.isSuccess());
    record.populateWithErrorno(2, std::nullopt, "f", 1, std::nullopt);
    EXPECT_EQ(record.getDescription(), "No such file or directory");
    EXPECT_EQ(record.getContext(), std::nullopt);  // every populate starts from a reset record
    record.populateWithErrorno(99999, "M", "f", 1, std::nullopt);
    EXPECT_EQ(record.getDescription(), "M - System Error Message Not Found For Error Number: 99999");
    EXPECT_EQ(record.getErrorCode(), 99999);
    record.populateWithErrorno(-1, std::nullopt, "f", 1, std::nullopt);
    EXPECT_EQ(record.getDescription(), "System Error Message Not Found For Error Number: -1");
    EXPECT_EQ(record.getErrorCode(), -1);

    record.populateWithHttpStatusCode(404, std::nullopt, "src/a/Fetcher", 52, context);
    EXPECT_EQ(record.getDescription(), "not found");
    EXPECT_EQ(record.getErrorCode(), 404);
    EXPECT_EQ(record.getErrorType(), KVLInternalErrorTypeHttp);
    EXPECT_EQ(record.getFileName(), "src/a/Fetcher");
    EXPECT_EQ(record.getLineNo(), 52);
    EXPECT_EQ(record.getContext(), context);
    record.populateWithHttpStatusCode(200, "Download", "f", 1, std::nullopt);
    EXPECT_EQ(record.getDescription(), "Download - no error");
}

TEST(KVLInternalError, NSErrorDomainsMapToTypes) {
    KVLInternalError record;
    const platform::Error cocoa{std::string(platform::kCocoaErrorDomain), 516, "“a” exists.", nullptr};
    const platform::PlistDictionary context{{"Item", platform::PlistValue("a")}};
    record.populateWithNSError(cocoa, std::nullopt, "src/a/Mover", 3, context);
    EXPECT_EQ(record.getDescription(), "“a” exists.");
    EXPECT_EQ(record.getErrorCode(), 516);
    EXPECT_EQ(record.getErrorType(), KVLInternalErrorTypeCocoa);
    EXPECT_EQ(record.getFileName(), "src/a/Mover");
    EXPECT_EQ(record.getLineNo(), 3);
    EXPECT_EQ(record.getContext(), context);
    const platform::Error mine{"com.example.Mine", -3, "Mine failed.", nullptr};
    record.populateWithNSError(mine, "Step", "f", 4, std::nullopt);
    EXPECT_EQ(record.getDescription(), "Step - Mine failed.");
    EXPECT_EQ(record.getErrorCode(), -3);
    EXPECT_EQ(record.getErrorType(), KVLInternalErrorTypeOther);
    EXPECT_EQ(record.getContext(), std::nullopt);
    record.populateWithNSError(cocoa, "Copy", "f", 3, std::nullopt);
    EXPECT_EQ(record.getDescription(), "Copy - “a” exists.");

    EXPECT_EQ(KVLInternalError::getNSErrorSubTypeFrom("NSCocoaErrorDomain"), 7);
    EXPECT_EQ(KVLInternalError::getNSErrorSubTypeFrom("NSPOSIXErrorDomain"), 3);
    EXPECT_EQ(KVLInternalError::getNSErrorSubTypeFrom("NSOSStatusErrorDomain"), 6);
    EXPECT_EQ(KVLInternalError::getNSErrorSubTypeFrom("NSMachErrorDomain"), 8);
    EXPECT_EQ(KVLInternalError::getNSErrorSubTypeFrom("com.example.Mine"), 2);
    EXPECT_EQ(KVLInternalError::getNSErrorSubTypeFrom(""), 2);
}

TEST(KVLInternalError, DescriptionIsCachedUntilTheContentsChange) {
    KVLInternalError record;
    record.populateWithErrorMessage("first", 5, 1, "f", 1,
                                    platform::PlistDictionary{{"Path", platform::PlistValue("/tmp/a b")}});
    EXPECT_EQ(record.description(), "Code: 5, Type: 1, Message: first, Context: {\n    Path = \"/tmp/a b\";\n}");
    record.populateWithErrorMessage("second", 6, 2, "f", 1, std::nullopt);
    EXPECT_EQ(record.description(), "Code: 6, Type: 2, Message: second, Context: (null)");
    EXPECT_EQ(record.getDescription(), "second");
}

TEST(KVLInternalError, CopyTakesOverEveryFieldIncludingSuccess) {
    KVLInternalError source;
    source.populateWithErrorMessage("m", -14003, 1, "src/a", 9, platform::PlistDictionary{{"k", platform::PlistValue(1)}});
    KVLInternalError copy;
    copy.populateFromError(&source);
    EXPECT_FALSE(copy.isSuccess());
    EXPECT_EQ(copy.description(), source.description());
    EXPECT_EQ(copy.getFileName(), "src/a");
    EXPECT_EQ(copy.getLineNo(), 9);
    source.reset();
    EXPECT_EQ(copy.getErrorCode(), -14003);  // an independent copy

    copy.populateFromError(&source);  // copying a success record makes a success record
    EXPECT_TRUE(copy.isSuccess());
    EXPECT_EQ(copy.getErrorCode(), 1);
}

}  // namespace
