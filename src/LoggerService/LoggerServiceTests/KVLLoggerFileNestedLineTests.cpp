#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <thread>
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
    std::optional<std::string> logFile;
    // Logged from a thread of its own: the date formatters a thread makes keep the time zone
    // of their making, and other tests expect the main thread's to be made in theirs.
    std::thread([&] {
        KVLLoggerFile logger(path("Logs"), "Nested", KVLLogLevelInfo);
        logger.logMessage("outer %@", KVLLogLevelInfo, "src/A/KVLCaller", 3, LoggingArgument{&logger});
        logFile = logger.getLogFilePath();
    }).join();

    std::ifstream file(logFile.value());
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
