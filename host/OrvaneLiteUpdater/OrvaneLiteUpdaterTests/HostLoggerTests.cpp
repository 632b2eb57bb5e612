#include "HostLogger.h"

#include <gtest/gtest.h>

#include "TestSupport/TemporaryRoot.h"

namespace {

class HostLoggerTest : public kvltest::TemporaryRootTest {};

TEST_F(HostLoggerTest, WritesTaggedLinesAtOrAboveItsLevelToItsFile) {
    {
        HostLogger logger(KVLLogLevelInfo, path("logs/deep/host.log"));
        EXPECT_EQ(logger.getLogFilePath(), path("logs/deep/host.log"));
        logger.logMessage("copied %@ of %d", KVLLogLevelInfo, "src/Lib/Private/KVLThing", 12, "a", 2);
        logger.logMessage("hidden", KVLLogLevelDebug, "src/Lib/KVLThing", 13);
        logger.logMessage("broken", KVLLogLevelError, "KVLOther", 14);
    }
    {
        // A second logger appends.
        HostLogger logger(KVLLogLevelError, path("logs/deep/host.log"));
        logger.logMessage("dropped", KVLLogLevelInfo, "KVLThing", 1);
        logger.logMessage("written", KVLLogLevelUnexpected, "KVLThing", 2);
    }
    EXPECT_EQ(readFile("logs/deep/host.log"),
              "[INF] KVLThing:12 copied a of 2\n[ERR] KVLOther:14 broken\n[UNX] KVLThing:2 written\n");
    EXPECT_EQ(HostLogger::tagOf(0x12345), "???");
}

TEST_F(HostLoggerTest, AnUnwritableLogFileLeavesStandardErrorOnly) {
    writeFile("file", "x");
    HostLogger logger(KVLLogLevelInfo, path("file/host.log"));
    testing::internal::CaptureStderr();
    logger.logMessage("still shown", KVLLogLevelError, "KVLThing", 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[ERR] KVLThing:3 still shown\n");
}

}  // namespace
