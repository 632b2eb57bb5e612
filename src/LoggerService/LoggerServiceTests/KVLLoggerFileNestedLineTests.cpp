#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "LoggerService/Private/KVLLoggerFile.h"
#include "Platform/FileManager.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

// An argument whose description logs a line of its own to the same logger.
struct LoggingArgument {
    KVLLoggerFile* logger;
    std::string description() const {
        logger->info("inner %d", 1);
        return "described";
    }
};

class KVLLoggerFileNestedLineTest : public kvltest::TemporaryRootTest {};

TEST_F(KVLLoggerFileNestedLineTest, ALineLoggedWhileAnotherIsFormattedLeavesBothWhole) {
    platform::FileManager::createDirectoryAtPath(path("Logs"), true);
    KVLLoggerFile logger(path("Logs"), "Nested", KVLLogLevelInfo);
    logger.logMessage("outer %@", KVLLogLevelInfo, "src/A/KVLCaller", 3, LoggingArgument{&logger});

    std::ifstream file(logger.getLogFilePath().value());
    std::vector<std::string> endings;
    for (std::string line; std::getline(file, line);) {
        const std::size_t tag = line.find(" :  INF : ");
        endings.push_back(tag == std::string::npos ? line : line.substr(tag));
    }
    // After the first line ("Nested : <version>"), the inner line whole, then the outer one.
    ASSERT_EQ(endings.size(), 3u);
    EXPECT_EQ(std::vector(endings.begin() + 1, endings.end()),
              (std::vector<std::string>{" :  INF : inner 1", " :  INF : KVLCaller(3) : outer described"}));
}

}  // namespace
