#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport/ChildProcess.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingLogger.h"
#include "TestSupport/TemporaryRoot.h"

namespace kvltest {

// A temporary root with the error service loaded and the logger service bound to a
// recording logger, and an error record; every service is unloaded afterwards.
class LoggedServicesTest : public TemporaryRootTest {
protected:
    // Checks that record holds exactly this failure, filled in file without a context, and
    // that the last log line is that record at the error level with its file and line; then
    // resets record for the next call.
    void expectFailure(std::int64_t code, std::int32_t type, const std::string& message, const std::string& file) {
        EXPECT_FALSE(record->isSuccess());
        EXPECT_EQ(record->getErrorCode(), code);
        EXPECT_EQ(record->getErrorType(), type);
        EXPECT_EQ(record->getDescription(), message);
        EXPECT_EQ(record->getFileName(), file);
        EXPECT_GT(record->getLineNo(), 0);
        EXPECT_EQ(record->getContext(), std::nullopt);
        const auto lines = logger->lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().level, KVLLogLevelError);
        EXPECT_EQ(lines.back().fileName, file);
        EXPECT_EQ(lines.back().lineNo, record->getLineNo());
        EXPECT_EQ(lines.back().message, record->description());
        record->reset();
    }

    ServicesWithRecordingLogger services;
    const std::shared_ptr<RecordingLogger> logger = services.logger;
    const std::unique_ptr<IKVLInternalError> record = KVLCreateInternalError();
};

}  // namespace kvltest
