#include <gtest/gtest.h>

#include <tuple>

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLog.h"
#include "LoggerService/KVLLoggerService.h"
#include "TestSupport/ConsoleCapture.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/RecordingLogger.h"

namespace {

class KVLLoggerServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        kvltest::unloadAllServices();
        std::shared_ptr<platform::Error> slot;
        KVLErrorService::load(nullptr, &slot);
        record = KVLCreateInternalError();
    }
    void TearDown() override { kvltest::unloadAllServices(); }

    std::unique_ptr<IKVLInternalError> record;
};

TEST(KVLLogLevel, TheRuleIsMaskContainment) {
    struct Row {
        std::uint64_t configured;
        std::uint64_t level;
        bool on;
    };
    const Row rows[] = {
        {KVLLogLevelInfo, KVLLogLevelUnexpected, true}, {KVLLogLevelInfo, KVLLogLevelInfo, true},
        {KVLLogLevelInfo, KVLLogLevelDebug, false},     {KVLLogLevelDebug, KVLLogLevelApi, false},
        {KVLLogLevelApi, KVLLogLevelUnexpected, false}, {0x12345, 0, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(KVLIsLogLevelOn(row.configured, row.level), row.on)
            << std::hex << row.configured << " / " << row.level;
    }
}

TEST_F(KVLLoggerServiceTest, TwoLoadsNeedTwoUnloadsAndThenLoggingIsANoOp) {
    kvltest::ConsoleCapture console;
    KVLLoggerService::load(nullptr, record.get());
    EXPECT_TRUE(console.messages().empty());  // the error service is loaded
    KVLLoggerService::load(nullptr, record.get());
    auto service = KVLLoggerService::sharedInstance();
    auto logger = std::make_shared<kvltest::RecordingLogger>();
    service->createLoggerWithLogger(logger, record.get());
    KVLLoggerService::unload(nullptr);
    ASSERT_EQ(KVLLoggerService::sharedInstance(), service);
    KVL_LOG(KVLLogLevelInfo, "still %d", 1);
    const std::weak_ptr<KVLLoggerService> unloaded = service;
    service.reset();
    KVLLoggerService::unload(nullptr);
    EXPECT_TRUE(unloaded.expired());
    EXPECT_EQ(logger.use_count(), 1);  // the manager let go of the logger
    KVL_LOG(KVLLogLevelInfo, "gone %d", 2);
    KVLLoggerService::unload(record.get());  // surplus: nothing happens
    EXPECT_TRUE(record->isSuccess());
    EXPECT_EQ(logger->messages(), std::vector<std::string>{"still 1"});

    KVLLoggerService::load(nullptr, record.get());  // a new service starts without a logger
    EXPECT_EQ(KVLLoggerService::sharedInstance()->getLogger(), nullptr);
}

TEST_F(KVLLoggerServiceTest, AFailedOrMissingRecordLeavesTheServiceUnloaded) {
    record->populateWithErrorMessage("earlier", 5, 1, "f", 1, std::nullopt);
    KVLLoggerService::load(nullptr, record.get());
    EXPECT_FALSE(KVLLoggerService::isLoaded());
    KVLLoggerService::load(nullptr, nullptr);
    EXPECT_FALSE(KVLLoggerService::isLoaded());
    EXPECT_EQ(KVLLoggerService::decrementLoadCount(), 0);
}

TEST_F(KVLLoggerServiceTest, ARecordIsLoggedAtTheErrorLevelWithItsOwnFileAndLine) {
    KVLLoggerService::load(nullptr, record.get());
    auto logger = std::make_shared<kvltest::RecordingLogger>(KVLLogLevelError);
    KVLLoggerService::sharedInstance()->createLoggerWithLogger(logger, record.get());
    record->populateWithErrorno(2, "Open", "src/KVLSharedUtil/KVLSharedUtil/KVLFileUtil", 214, std::nullopt);
    KVLLogInternalError(*record);
    const auto lines = logger->lines();
    ASSERT_EQ(lines.size(), 1u);
    const auto& line = lines[0];
    EXPECT_EQ(std::tuple(line.level, line.fileName, line.lineNo),
              std::tuple(KVLLogLevelError, "src/KVLSharedUtil/KVLSharedUtil/KVLFileUtil", 214));
    EXPECT_EQ(line.message, "Code: 2, Type: 3, Message: Open - No such file or directory, Context: (null)");
}

TEST_F(KVLLoggerServiceTest, ASecondLoggerIsRefusedAndReportedThroughTheFirst) {
    KVLLoggerService::load(nullptr, record.get());
    const auto service = KVLLoggerService::sharedInstance();
    auto first = std::make_shared<kvltest::RecordingLogger>();
    auto second = std::make_shared<kvltest::RecordingLogger>();
    service->createLoggerWithLogger(first, record.get());
    service->createLoggerWithLogger(second, record.get());
    EXPECT_EQ(record->description(), "Code: -10004, Type: 1, Message: Logger is already initialized, Context: (null)");
    EXPECT_EQ(record->getFileName(), "src/LoggerService/LoggerService/Private/KVLLoggerService");
    EXPECT_EQ(service->getLogger(), first);
    ASSERT_EQ(first->lines().size(), 1u);  // the record, as the test above shows records logged
    EXPECT_EQ(first->lines()[0].message, record->description());
    EXPECT_EQ(first->lines()[0].lineNo, record->getLineNo());
    EXPECT_TRUE(second->lines().empty());

    record->reset();
    service->createLoggerWithLogDir("/dev/null/Logs", "Module", KVLLogLevelInfo, record.get());  // never writable
    EXPECT_EQ(record->getErrorCode(), -10004);
    EXPECT_EQ(service->getLogger(), first);
}

TEST_F(KVLLoggerServiceTest, LoadingWithoutTheErrorServiceSaysSoAndLoadsAnyway) {
    kvltest::unloadAllServices();  // the record made in SetUp outlives the error service
    kvltest::ConsoleCapture console;
    KVLLoggerService::load(nullptr, record.get());
    EXPECT_TRUE(KVLLoggerService::isLoaded());
    EXPECT_EQ(console.messages(), std::vector<std::string>{"Kenvault :: Unable to load the Error"});
}

TEST_F(KVLLoggerServiceTest, ARefusedNullLoggerLeavesRoomForTheNextOne) {
    KVLLoggerService::load(nullptr, record.get());
    const auto service = KVLLoggerService::sharedInstance();
    service->createLoggerWithLogger(nullptr, record.get());
    EXPECT_EQ(std::tuple(record->getErrorCode(), record->getDescription()),
              std::tuple(KVLErrorCodeInvalidParameters, "pLogger != nil"));
    record->reset();
    const auto logger = std::make_shared<kvltest::RecordingLogger>();
    service->createLoggerWithLogger(logger, record.get());
    EXPECT_TRUE(record->isSuccess());
    EXPECT_EQ(service->getLogger(), logger);
}

}  // namespace
