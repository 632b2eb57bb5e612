#include "KVLSharedUtil/KVLDistributedLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "LoggedServicesTest.h"

namespace {

constexpr const char* kFile = "src/KVLSharedUtil/KVLSharedUtil/KVLDistributedLock";

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Another process that tries once to take the lock at a path and, when it got it, holds it
// until it is told to let go, dies, or is killed.
class LockingChild {
public:
    // What the child does after taking the lock, when told.
    enum Order : char { Release = 'r', ReleaseSoon = 's', DieSoon = 'd' };

    explicit LockingChild(const std::string& path) {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) {
            ADD_FAILURE() << "pipe";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            auto lock = KVLDistributedLock::initWithPath(path);
            const char taken = lock != nullptr && lock->tryLockWithTimeout(0) ? 'y' : 'n';
            (void)!::write(fromChild[1], &taken, 1);
            char order = Release;
            (void)!::read(toChild[0], &order, 1);  // also ends when the parent goes away
            if (order != Release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
            if (order == DieSoon) {
                ::kill(::getpid(), SIGKILL);
            }
            if (taken == 'y') {
                lock->unlock();
            }
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        orders_ = toChild[1];
        char taken = 'n';
        holds_ = ::read(fromChild[0], &taken, 1) == 1 && taken == 'y';
        ::close(fromChild[0]);
    }
    ~LockingChild() {
        if (pid_ > 0) {
            kill();
        }
        ::close(orders_);
    }
    LockingChild(const LockingChild&) = delete;
    LockingChild& operator=(const LockingChild&) = delete;

    bool holds() const { return holds_; }
    void tell(Order order) {
        const char byte = order;
        ASSERT_EQ(::write(orders_, &byte, 1), 1);
    }
    // The child's wait status.
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    int kill() {
        ::kill(pid_, SIGKILL);
        return wait();
    }

private:
    pid_t pid_ = -1;
    int orders_ = -1;
    bool holds_ = false;
};

class KVLDistributedLockTest : public kvltest::LoggedServicesTest {
protected:
    std::unique_ptr<KVLDistributedLock> makeLock(const std::string& folder, std::int32_t pid = 42) {
        auto lock = KVLDistributedLock::lockForProcessWithBundleId("app.id", pid, "upd_", folder, record.get());
        EXPECT_TRUE(record->isSuccess()) << record->description();
        return lock;
    }
    void expectFailure(std::int64_t code, std::int32_t type, const std::string& message) {
        LoggedServicesTest::expectFailure(*record, code, type, message, kFile, *logger);
        record->reset();
    }

    std::unique_ptr<IKVLInternalError> record = KVLCreateInternalError();
};

TEST_F(KVLDistributedLockTest, TheFactoryPreparesAnEmptyFileThatHoldsNothing) {
    const std::string folder = path("tmp/locks/deeper");
    auto lock = makeLock(folder);
    ASSERT_NE(lock, nullptr);
    const std::string lockPath = folder + "/upd_app.id_42";
    EXPECT_EQ(lock->mstrLockPath(), lockPath);
    ASSERT_TRUE(std::filesystem::is_regular_file(lockPath));
    EXPECT_EQ(std::filesystem::file_size(lockPath), 0u);
    EXPECT_TRUE(LockingChild(lockPath).holds());  // the file alone is no holder
    EXPECT_TRUE(lock->tryLockWithTimeout(0));

    writeFile(folder + "/upd_app.id_-1", "left over");
    auto negative = makeLock(folder, -1);
    ASSERT_NE(negative, nullptr);
    EXPECT_EQ(negative->mstrLockPath(), folder + "/upd_app.id_-1");
    EXPECT_EQ(readFile(folder + "/upd_app.id_-1"), "");  // an existing file is emptied
    EXPECT_TRUE(logger->lines().empty());

    auto direct = KVLDistributedLock::initWithPath(path("lock"));
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(direct->mstrLockPath(), path("lock"));
}

TEST_F(KVLDistributedLockTest, TheFactoryReportsWhatItCouldNotPrepare) {
    writeFile("plain", "");
    EXPECT_EQ(KVLDistributedLock::lockForProcessWithBundleId("app.id", 7, "upd_", path("plain/locks"), record.get()),
              nullptr);
    expectFailure(512, KVLInternalErrorTypeCocoa,
                  "Failed to create folder '" + path("plain/locks") +
                      "' to create process lock for app with bundle-id 'app.id' and PID '7'. - The file “locks” "
                      "couldn’t be saved in the folder “plain”.");

    ASSERT_TRUE(std::filesystem::create_directories(path("locks/upd_app.id_7")));
    EXPECT_EQ(KVLDistributedLock::lockForProcessWithBundleId("app.id", 7, "upd_", path("locks"), record.get()), nullptr);
    expectFailure(-14004, KVLInternalErrorTypeInternal,
                  "Failed to create file '" + path("locks/upd_app.id_7") +
                      "' to create process lock for app with bundle-id 'app.id' and PID '7'.");

    ASSERT_EQ(::chmod(root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(path("locks").c_str(), 0555), 0);
    const int status = kvltest::runAsNobody([&] {
        auto lock = KVLDistributedLock::lockForProcessWithBundleId("app.id", 7, "upd_", path("locks/sub"), record.get());
        if (lock != nullptr) return 1;
        if (record->getErrorCode() != 513 || record->getErrorType() != KVLInternalErrorTypeCocoa) return 2;
        return record->getDescription() ==
                       "Failed to create folder '" + path("locks/sub") +
                           "' to create process lock for app with bundle-id 'app.id' and PID '7'. - You don’t have "
                           "permission to save the file “sub” in the folder “locks”."
                   ? 0
                   : 3;
    });
    if (status == -1) {
        GTEST_SKIP() << "cannot switch to the user nobody, and root ignores file permissions";
    }
    EXPECT_EQ(status, 0);
}

TEST_F(KVLDistributedLockTest, AHolderInAnotherProcessExcludesUntilItLetsGo) {
    auto lock = makeLock(path("locks"));
    ASSERT_NE(lock, nullptr);
    const std::string lockPath = *lock->mstrLockPath();
    LockingChild holder(lockPath);
    ASSERT_TRUE(holder.holds());

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(lock->tryLockWithTimeout(0));  // one attempt, one sleep
    EXPECT_GE(secondsSince(start), 0.05);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(lock->tryLockWithTimeout(1.0));
    EXPECT_GE(secondsSince(start), 1.0);  // twenty attempts, each followed by a sleep

    // Preparing the lock again empties the file in place: the holder keeps its hold.
    auto again = makeLock(path("locks"));
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->tryLockWithTimeout(0));
    EXPECT_FALSE(LockingChild(lockPath).holds());

    holder.tell(LockingChild::ReleaseSoon);
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(lock->tryLockWithTimeout(10.0));
    EXPECT_LT(secondsSince(start), 5.0);  // taken at the first attempt after the release
    EXPECT_EQ(holder.wait(), 0);
    EXPECT_FALSE(again->tryLockWithTimeout(0));
    EXPECT_FALSE(LockingChild(lockPath).holds());
    EXPECT_TRUE(logger->lines().empty());
}

TEST_F(KVLDistributedLockTest, AHolderThatDiesReleasesTheLock) {
    auto lock = makeLock(path("locks"));
    ASSERT_NE(lock, nullptr);
    const std::string lockPath = *lock->mstrLockPath();

    LockingChild killed(lockPath);
    ASSERT_TRUE(killed.holds());
    EXPECT_FALSE(lock->tryLockWithTimeout(0));
    const int status = killed.kill();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_TRUE(std::filesystem::exists(lockPath));  // the file stays and blocks nobody
    EXPECT_TRUE(lock->tryLockWithTimeout(0));
    lock->unlock();

    LockingChild dying(lockPath);
    ASSERT_TRUE(dying.holds());
    dying.tell(LockingChild::DieSoon);
    EXPECT_TRUE(lock->tryLockWithTimeout(10.0));  // while waiting
    const int dyingStatus = dying.wait();
    EXPECT_TRUE(WIFSIGNALED(dyingStatus) && WTERMSIG(dyingStatus) == SIGKILL);
    EXPECT_FALSE(LockingChild(lockPath).holds());
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
    EXPECT_EQ(line.fileName, kFile);
    EXPECT_GT(line.lineNo, 0);
    EXPECT_EQ(line.message, "Exception while trying to lock '" + lockPath + "' : tryLock '" + lockPath +
                                "': No such file or directory");
}

}  // namespace
