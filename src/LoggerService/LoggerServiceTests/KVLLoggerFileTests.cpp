#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <latch>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLoggerService.h"
#include "LoggerService/Private/KVLLoggerFile.h"
#include "Platform/Bundle.h"
#include "Platform/Clock.h"
#include "Platform/FileManager.h"
#include "Platform/Format.h"
#include "Platform/PathUtilities.h"
#include "Platform/ProcessInfo.h"
#include "Platform/SearchPaths.h"
#include "Platform/TimeZone.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/LoadedServices.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

// 2026-03-14 23:59:58.250 and the midnight after it, in Paris (UTC+1 that day).
constexpr double kLateOnMarch14 = 1773529198.25;
constexpr double kMidnight = 1773529200.0;

std::vector<std::string> linesOfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The message of a whole line "yyMMdd HHmmss.SSS : pid : tid :  TAG : message", the ids
// right-aligned in 6 and at least 8 columns; null when the line is not one.
std::optional<std::string> messageOfLine(const std::string& line) {
    static const std::regex whole(R"(\d{6} \d{6}\.\d{3} : [ \d]{6} : [ \d]{8,} :  [A-Z]{3} : (.*))");
    std::smatch match;
    return std::regex_match(line, match, whole) ? std::optional<std::string>(match[1]) : std::nullopt;
}

bool canLock(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    const bool locked = descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    return locked;
}

class KVLLoggerFileTest : public kvltest::TemporaryRootTest {
protected:
    KVLLoggerFileTest() {
        platform::TimeZone::setDefaultTimeZoneForTesting("Europe/Paris");
        // An application bundle with a version and a blank in its name stands in for the
        // running application.
        writeFile("Orvane Test.app/Contents/Info.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>CFBundleShortVersionString</key><string>4.2.1</string></dict></plist>\n");
        platform::Bundle::setMainBundle(platform::Bundle::bundleWithPath(path("Orvane Test.app")));
        platform::Clock::setNowForTesting([this] { return platform::Date::fromTimeIntervalSince1970(now.load()); });
        platform::FileManager::createDirectoryAtPath(logDir(), true);
    }
    ~KVLLoggerFileTest() override {
        platform::Clock::setNowForTesting({});
        platform::Bundle::setMainBundle(nullptr);
        platform::TimeZone::setDefaultTimeZoneForTesting(std::nullopt);
    }

    std::string logDir() const { return path("Logs"); }

    // The path of a log file of this process opened at dateTime.
    std::string logPath(std::string_view dateTime, std::string_view module,
                        std::string_view bundleName = "Orvane Test.app", std::optional<std::string> dir = {}) const {
        return platform::formatString("%@/%@_%@_%@_%d(%@)_%@.log", dir.value_or(logDir()), dateTime,
                                      platform::SearchPaths::userName(), platform::ProcessInfo::hostName(), ::getpid(),
                                      bundleName, module);
    }

    // The line's middle for this process and the calling thread.
    static std::string pidAndThread() {
        return platform::formatString("%6d : %8llu", ::getpid(), platform::ProcessInfo::systemThreadID());
    }

    std::atomic<double> now{kLateOnMarch14};
};

TEST_F(KVLLoggerFileTest, RollsAtLocalMidnightAndThePendingLineFollowsTheNewFirstLine) {
    KVLLoggerFile logger(logDir(), "Roll", KVLLogLevelInfo);
    const std::string march14 = logPath("2026-03-14 23-59-58", "Roll");
    EXPECT_EQ(logger.getLogFilePath(), march14);
    EXPECT_FALSE(canLock(march14));  // held while open

    logger.logMessage("before %d", KVLLogLevelInfo, "src/Some/Where/KVLThing", 7, 1);
    now = kMidnight - 0.125;  // still the 14th
    logger.warn("last %@", "one");
    now = kMidnight;
    logger.logMessage("after %@", KVLLogLevelError, "src/Some/Where/KVLThing", 8, "midnight");

    const std::string march15 = logPath("2026-03-15 00-00-00", "Roll");
    EXPECT_EQ(logger.getLogFilePath(), march15);
    const std::string middle = pidAndThread();
    EXPECT_EQ(linesOfFile(march14), (std::vector<std::string>{
                                        "260314 235958.250 : " + middle + " :  INF : Roll : 4.2.1",
                                        "260314 235958.250 : " + middle + " :  INF : KVLThing(7) : before 1",
                                        "260314 235959.875 : " + middle + " :  WRN : last one",
                                    }));
    EXPECT_EQ(linesOfFile(march15), (std::vector<std::string>{
                                        "260315 000000.000 : " + middle + " :  INF : Roll : 4.2.1",
                                        "260315 000000.000 : " + middle + " :  ERR : KVLThing(8) : after midnight",
                                    }));
    EXPECT_TRUE(canLock(march14));  // unlocked and closed by the roll

    // A clock set back to an earlier day rolls too: a file holds one calendar day.
    now = kMidnight - 12 * 3600;
    logger.info("back");
    EXPECT_EQ(logger.getLogFilePath(), logPath("2026-03-14 12-00-00", "Roll"));
}

TEST_F(KVLLoggerFileTest, OnlyTheSixExactLevelsAreWrittenWithTheirTags) {
    KVLLoggerFile logger(logDir(), "Levels", 0xF1000008);
    const std::pair<std::uint64_t, const char*> levels[] = {{KVLLogLevelApi, "API"},   {KVLLogLevelUnexpected, "UNX"},
                                                            {KVLLogLevelError, "ERR"}, {KVLLogLevelWarn, "WRN"},
                                                            {KVLLogLevelInfo, "INF"},  {KVLLogLevelDebug, "DBG"}};
    const std::string stamp = "260314 235958.250 : " + pidAndThread() + " : ";
    std::vector<std::string> expected{stamp + " INF : Levels : 4.2.1"};
    for (const auto& [level, tag] : levels) {
        logger.logMessage("n=%d", level, "src/A/KVLCaller", 164, static_cast<int>(expected.size()));
        expected.push_back(stamp + " " + tag + " : KVLCaller(164) : n=" + std::to_string(expected.size()));
    }
    logger.logMessage("combined", KVLLogLevelError | KVLLogLevelApi, "src/A/KVLCaller", 1, 0);
    logger.logMessage("none", 0, "src/A/KVLCaller", 2, 0);
    logger.logMessage("bit", 0x1, "src/A/KVLCaller", 3, 0);
    logger.error("plain %s", "text");
    logger.logMessage("%d%%", KVLLogLevelInfo, "dir/odd%dname", 9, 50);  // a "%" in the file name stays text
    const std::string longName(300, 'n');
    logger.logMessage("long", KVLLogLevelInfo, "dir/" + longName, 10, 0);
    expected.insert(expected.end(), {stamp + " ERR : plain text", stamp + " INF : odd%dname(9) : 50%",
                                     stamp + " INF : " + longName + "(10) : long"});
    EXPECT_EQ(linesOfFile(logger.getLogFilePath().value()), expected);

    // At the error level: no first line, and only unexpected and error lines.
    KVLLoggerFile quiet(logDir(), "Quiet", KVLLogLevelError);
    quiet.api("a");
    quiet.warn("w");
    quiet.unexpected("u%d", 1);
    quiet.error("e%d", 2);
    EXPECT_EQ(linesOfFile(quiet.getLogFilePath().value()),
              (std::vector<std::string>{stamp + " UNX : u1", stamp + " ERR : e2"}));
}

TEST_F(KVLLoggerFileTest, TheServiceCreatesAFileLoggerByFolderAndModule) {
    platform::Bundle::setMainBundle(nullptr);  // the test binary's folder: no version
    kvltest::unloadAllServices();
    std::shared_ptr<platform::Error> slot;
    KVLErrorService::load(nullptr, &slot);
    const auto record = KVLCreateInternalError();
    KVLLoggerService::load(nullptr, record.get());
    KVLLoggerService::sharedInstance()->createLoggerWithLogDir(logDir(), "Service", KVLLogLevelInfo, record.get());
    EXPECT_EQ(record->getErrorCode(), KVLErrorCodeUninitializedObject);  // until a factory is set
    KVLLoggerFile::becomeTheFileLogger();
    record->reset();
    KVLLoggerService::sharedInstance()->createLoggerWithLogDir(logDir(), "Service", KVLLogLevelInfo, record.get());
    KVLLoggerService::setFileLoggerFactory(nullptr);
    const auto logger = KVLLoggerService::sharedInstance()->getLogger();
    ASSERT_NE(logger, nullptr);
    const std::string bundleName =
        platform::PathUtilities::lastPathComponent(platform::Bundle::mainBundle()->bundlePath());
    EXPECT_EQ(logger->getLogFilePath(), logPath("2026-03-14 23-59-58", "Service", bundleName));
    EXPECT_EQ(linesOfFile(logger->getLogFilePath().value()),
              std::vector<std::string>{"260314 235958.250 : " + pidAndThread() + " :  INF : Service : "});
    kvltest::unloadAllServices();
}

TEST_F(KVLLoggerFileTest, AnExistingFileIsAppendedToAndAMissingFolderGetsNothing) {
    const std::string existing = logPath("2026-03-14 23-59-58", "Again");
    writeFile(existing, "an earlier line\n");
    {
        KVLLoggerFile logger(logDir(), "Again", KVLLogLevelInfo);
        logger.info("appended");
    }
    const auto lines = linesOfFile(existing);
    EXPECT_EQ(lines.front(), "an earlier line");
    EXPECT_EQ(messageOfLine(lines.back()), "appended");

    const std::string missing = path("Nowhere/Logs");
    KVLLoggerFile lost(missing, "Lost", KVLLogLevelDebug);
    EXPECT_EQ(lost.getLogFilePath(), logPath("2026-03-14 23-59-58", "Lost", "Orvane Test.app", missing));
    now = kMidnight;  // a logger without a file never tries to roll
    lost.error("dropped");
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path("Nowhere")));

    EXPECT_EQ(KVLLoggerFile(std::nullopt, "Null", KVLLogLevelDebug).getLogFilePath(), std::nullopt);
}

TEST_F(KVLLoggerFileTest, AClosedFileTakesNoLinesAndADeletedOneIsLeftAtTheNextDay) {
    KVLLoggerFile closed(logDir(), "Closed", KVLLogLevelInfo);
    KVLLoggerFile deleted(logDir(), "Deleted", KVLLogLevelInfo);
    const std::string closedFirst = closed.getLogFilePath().value();
    const std::string deletedFirst = deleted.getLogFilePath().value();
    closed.rollLogFileNow();
    EXPECT_TRUE(canLock(closedFirst));
    ASSERT_TRUE(platform::FileManager::removeItemAtPath(deletedFirst));
    deleted.info("two");  // goes to the deleted file
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(deletedFirst));

    now = kMidnight + 60;
    closed.info("dropped");  // a closed logger does not roll either
    deleted.info("three");
    EXPECT_EQ(closed.getLogFilePath(), closedFirst);
    EXPECT_EQ(linesOfFile(closedFirst).size(), 1u);
    EXPECT_EQ(deleted.getLogFilePath(), logPath("2026-03-15 00-01-00", "Deleted"));
    EXPECT_EQ(linesOfFile(deleted.getLogFilePath().value()).size(), 2u);  // the first line and "three"

    closed.logFileInitialize();
    closed.info("kept");
    EXPECT_EQ(closed.getLogFilePath(), logPath("2026-03-15 00-01-00", "Closed"));
    EXPECT_EQ(messageOfLine(linesOfFile(closed.getLogFilePath().value()).back()), "kept");
}

TEST_F(KVLLoggerFileTest, AFullDiskDropsWholeLinesAndAForkedChildShowsItsOwnIds) {
    KVLLoggerFile parent(logDir(), "Parent", KVLLogLevelInfo);  // this thread's id is known now
    const int status = kvltest::runInChild([this] {
        // The file-size limit stands in for a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        KVLLoggerFile logger(logDir(), "Full", KVLLogLevelInfo);
        for (int i = 0; i < 100; ++i) {
            logger.info("line %03d %@", i, std::string(60, 'x'));
        }
        // A torn last line would end the file without a line feed and fail its match below.
        const auto lines = linesOfFile(logger.getLogFilePath().value());
        if (lines.size() < 10 || lines.size() > 60)
            return 12;
        if (lines[0].substr(20, pidAndThread().size()) != pidAndThread())
            return 14;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (messageOfLine(lines[i]) != platform::formatString("line %03d %@", i - 1, std::string(60, 'x'))) {
                return 13;
            }
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(KVLLoggerFileTest, ConcurrentThreadsLeaveEveryLineWholeAndInOrder) {
    constexpr int kThreads = 8, kLinesPerThread = 1000;
    // A clock that moves on by 1/1024 s at every reading, from noon: lines must come out in
    // the order of their timestamps, and the timestamp changes every few lines.
    std::atomic<std::int64_t> ticks{0};
    platform::Clock::setNowForTesting(
        [&ticks] { return platform::Date::fromTimeIntervalSince1970(kMidnight - 12 * 3600 + ticks++ / 1024.0); });
    KVLLoggerFile logger(logDir(), "Threads", KVLLogLevelInfo);
    {
        std::latch start(kThreads);  // all threads write at once
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&logger, &start, t] {
                start.arrive_and_wait();
                for (int n = 0; n < kLinesPerThread; ++n) {
                    logger.logMessage("t%d n%d", KVLLogLevelInfo, "src/A/KVLWorker", 1, t, n);
                }
            });
        }
    }
    const auto lines = linesOfFile(logger.getLogFilePath().value());
    ASSERT_EQ(lines.size(), 1u + kThreads * kLinesPerThread);
    std::vector<int> next(kThreads, 0);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        int t = -1, n = -1;
        std::sscanf(messageOfLine(lines[i]).value_or("").c_str(), "KVLWorker(1) : t%d n%d", &t, &n);
        ASSERT_TRUE(t >= 0 && t < kThreads && n == next[t]++) << "line " << i << ": " << lines[i];
        ASSERT_LE(lines[i - 1].substr(0, 17), lines[i].substr(0, 17)) << "line " << i;  // sorts as the times do
    }
}

// A file opened in UTC, then a line written after the time zone changed: whether the line
// starts a new file is decided by the days of the opening and of the line in the new zone.
TEST_F(KVLLoggerFileTest, TheDayOfTheCurrentZoneDecidesTheRoll) {
    const struct {
        double openedAt;  // seconds since 1970
        const char* newZone;
        double writtenAt;
        bool rolls;
    } changes[] = {
        // 2026-03-14 14:00 and 15:30 UTC are 23:00 on the 14th and 00:30 on the 15th in Tokyo.
        {1773496800, "Asia/Tokyo", 1773502200, true},
        // 2026-03-14 22:30 and 2026-03-15 01:00 UTC are 18:30 and 21:00 on the 14th in New York.
        {1773527400, "America/New_York", 1773536400, false},
    };
    for (const auto& change : changes) {
        // On a thread of its own: the date formatters a thread makes keep the time zone of their
        // making, and the other tests expect the main thread's to be made in Paris.
        std::thread([this, &change] {
            platform::TimeZone::setDefaultTimeZoneForTesting("UTC");
            now = change.openedAt;
            KVLLoggerFile logger(logDir(), "Zone", KVLLogLevelInfo);
            const std::string firstFile = logger.getLogFilePath().value();
            platform::TimeZone::setDefaultTimeZoneForTesting(change.newZone);
            now = change.writtenAt;
            logger.info("after the change");
            EXPECT_EQ(logger.getLogFilePath() != firstFile, change.rolls) << change.newZone;
        }).join();
    }
}

// An argument whose description logs a line of its own to the same logger.
struct LoggingArgument {
    KVLLoggerFile* logger;
    std::string description() const {
        logger->info("inner %d", 1);
        return "described";
    }
};

TEST_F(KVLLoggerFileTest, ALineLoggedWhileAnotherIsFormattedLeavesBothWhole) {
    KVLLoggerFile logger(logDir(), "Nested", KVLLogLevelInfo);
    logger.logMessage("outer %@", KVLLogLevelInfo, "src/A/KVLCaller", 3, LoggingArgument{&logger});
    // After the first line, the inner line whole, then the outer one.
    const auto lines = linesOfFile(logger.getLogFilePath().value());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(std::tuple(messageOfLine(lines[1]), messageOfLine(lines[2])),
              std::tuple("inner 1", "KVLCaller(3) : outer described"));
}

}  // namespace
