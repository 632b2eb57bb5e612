#include "KVLSharedUtil/KVLDistributedLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "LoggedServicesTest.h"

namespace {

constexpr const char* kFile = "src/KVLSharedUtil/KVLSharedUtil/KVLDistributedLock";

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Takes the lock at a path through a descriptor of its own, as another holder would; answers
// the descriptor, or -1 when the lock is held elsewhere.
int takeLock(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

bool isFree(const std::string& path) {
    const int descriptor = takeLock(path);
    ::close(descriptor);
    return descriptor >= 0;
}

class KVLDistributedLockTest : public kvltest::LoggedServicesTest {
protected:
    std::unique_ptr<KVLDistributedLock> makeLock(const std::string& folder) {
        auto lock = KVLDistributedLock::lockForProcessWithBundleId("app.id", 42, "upd_", folder, record.get());
        EXPECT_TRUE(record->isSuccess()) << record->description();
        return lock;
    }
};

TEST_F(KVLDistributedLockTest, TheFactoryPreparesAnEmptyFileThatHoldsNothing) {
    const std::string folder = path("tmp/locks/deeper");
    auto lock = makeLock(folder);
    ASSERT_NE(lock, nullptr);
    const std::string lockPath = folder + "/upd_app.id_42";
    EXPECT_EQ(lock->mstrLockPath(), lockPath);
    ASSERT_TRUE(std::filesystem::is_regular_file(lockPath));
    EXPECT_TRUE(lock->tryLockWithTimeout(0));  // the file alone is no holder
    writeFile(lockPath, "left over");
    EXPECT_NE(makeLock(folder), nullptr);
    EXPECT_EQ(readFile(lockPath), "");  // an existing file is emptied
    EXPECT_TRUE(logger->lines().empty());
}

TEST_F(KVLDistributedLockTest, TheFactoryReportsWhatItCouldNotPrepare) {
    writeFile("plain", "");
    EXPECT_EQ(KVLDistributedLock::lockForProcessWithBundleId("app.id", 7, "upd_", path("plain/locks"), record.get()),
              nullptr);
    expectFailure(512, KVLInternalErrorTypeCocoa,
                  "Failed to create folder '" + path("plain/locks") +
                      "' to create process lock for app with bundle-id 'app.id' and PID '7'. - The file “locks” "
                      "couldn’t be saved in the folder “plain”.",
                  kFile);

    ASSERT_TRUE(std::filesystem::create_directories(path("locks/upd_app.id_7")));
    EXPECT_EQ(KVLDistributedLock::lockForProcessWithBundleId("app.id", 7, "upd_", path("locks"), record.get()),
              nullptr);
    expectFailure(-14004, KVLInternalErrorTypeInternal,
                  "Failed to create file '" + path("locks/upd_app.id_7") +
                      "' to create process lock for app with bundle-id 'app.id' and PID '7'.",
                  kFile);
}

TEST_F(KVLDistributedLockTest, AnotherHolderExcludesUntilItLetsGo) {
    auto lock = makeLock(path("locks"));
    ASSERT_NE(lock, nullptr);
    const std::string lockPath = *lock->mstrLockPath();
    const int holder = takeLock(lockPath);
    ASSERT_GE(holder, 0);

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(lock->tryLockWithTimeout(1.0));
    EXPECT_GE(secondsSince(start), 1.0);  // twenty attempts, each followed by a sleep

    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::close(holder);
    });
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(lock->tryLockWithTimeout(10.0));
    EXPECT_LT(secondsSince(start), 5.0);  // taken at the first attempt after the release
    release.join();
    EXPECT_FALSE(isFree(lockPath));
    EXPECT_TRUE(logger->lines().empty());
}

TEST_F(KVLDistributedLockTest, FileSystemFailuresCountAsAttemptsWithoutSleeping) {
    auto lock = makeLock(path("locks"));
    ASSERT_NE(lock, nullptr);
    const std::string lockPath = *lock->mstrLockPath();
    std::filesystem::remove_all(path("locks"));  // every attempt now fails to open the file

    const auto start = std::chrono::steady_clock::now();
    for (const auto& [timeout, attempts] : {std::pair{1.0, 20u}, {0.1, 2u}, {0.05, 1u}, {0.0, 1u}, {-3.0, 1u}}) {
        const std::size_t before = logger->lines().size();
        EXPECT_FALSE(lock->tryLockWithTimeout(timeout));
        EXPECT_EQ(logger->lines().size() - before, attempts) << "timeout " << timeout;
    }
    EXPECT_LT(secondsSince(start), 0.5);  // 25 attempts and not one sleep

    const auto line = logger->lines().back();
    EXPECT_EQ(line.level, KVLLogLevelWarn);
    EXPECT_EQ(line.message, "Exception while trying to lock '" + lockPath + "' : tryLock '" + lockPath +
                                "': No such file or directory");
}

}  // namespace
