#include "HostLogger.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "TestSupport/TemporaryRoot.h"

namespace {

class HostLoggerTest : public kvltest::TemporaryRootTest {
protected:
    std::shared_ptr<HostLogger> open(std::uint64_t level) const {
        std::filesystem::create_directories(path("logs"));
        std::string problem;
        auto logger = HostLogger::open(level, KVLLogLevelError, ::open(path("logs").c_str(), O_RDONLY | O_DIRECTORY),
                                       "host.log", path("logs/host.log"), &problem);
        EXPECT_NE(logger, nullptr) << problem;
        return logger;
    }
    // The file's lines without their time and process id, which must be this process's.
    std::string linesOf(const std::string& file) const {
        const std::regex stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} pid " + std::to_string(::getpid()) +
                               " ");
        std::string lines;
        std::istringstream in(readFile(file));
        for (std::string line; std::getline(in, line);) {
            std::smatch prefix;
            EXPECT_TRUE(std::regex_search(line, prefix, stamp)) << line;
            lines += prefix.suffix().str() + "\n";
        }
        return lines;
    }
};

TEST_F(HostLoggerTest, WritesStampedTaggedLinesAtOrAboveItsLevelAfterAHeader) {
    {
        const auto logger = open(KVLLogLevelInfo);
        logger->logHeader("install --root /r");
        logger->logMessage("hidden", KVLLogLevelDebug, "src/Lib/KVLThing", 13);
        // Standard error has only the lines of the console level: here errors.
        testing::internal::CaptureStderr();
        logger->logMessage("copied %@ of %d", KVLLogLevelInfo, "src/Lib/Private/KVLThing", 12, "a", 2);
        logger->logMessage("broken", KVLLogLevelError, "KVLOther", 14);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "[ERR] KVLOther:14 broken\n");
    }
    // A second logger appends.
    open(KVLLogLevelError)->logMessage("written", KVLLogLevelUnexpected, "KVLThing", 2);
    EXPECT_EQ(linesOf("logs/host.log"),
              "==== install --root /r\n[INF] KVLThing:12 copied a of 2\n"
              "[ERR] KVLOther:14 broken\n[UNX] KVLThing:2 written\n");
}

TEST_F(HostLoggerTest, ALineThatWouldPassTheLimitRollsTheFileKeepingOnePrevious) {
    const std::string full(HostLogger::kRollSize - 10, 'x');
    writeFile("logs/host.log.1", "oldest");
    writeFile("logs/host.log", full);
    open(KVLLogLevelInfo)->logHeader("rolled");
    EXPECT_EQ(readFile("logs/host.log.1"), full);
    EXPECT_EQ(linesOf("logs/host.log"), "==== rolled\n");
}

}  // namespace
