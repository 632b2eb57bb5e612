#include "Platform/DistributedLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::DistributedLock;

// What a call raised, "<name>|<reason>", or "".
template <typename Call>
std::string raised(Call call) {
    try {
        call();
    } catch (const platform::Exception& exception) {
        return exception.name() + "|" + exception.reason();
    }
    return "";
}

// A child process that takes the lock at path and holds it until it is killed.
class Holder {
public:
    explicit Holder(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            auto lock = DistributedLock::lockWithPath(path);
            const char taken = lock != nullptr && lock->tryLock() ? 'y' : 'n';
            (void)!::write(ready[1], &taken, 1);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char taken = 0;
        holding_ = ::read(ready[0], &taken, 1) == 1 && taken == 'y';
        ::close(ready[0]);
    }
    ~Holder() { kill(); }

    bool holding() const { return holding_; }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

class DistributedLockTest : public kvltest::TemporaryRootTest {
protected:
    const std::string lockPath = path("lock");
};

TEST_F(DistributedLockTest, ServesOnlyAFilePathInAnExistingFolder) {
    EXPECT_EQ(DistributedLock::lockWithPath(""), nullptr);
    EXPECT_EQ(DistributedLock::lockWithPath(root()), nullptr);
    EXPECT_EQ(DistributedLock::lockWithPath(path("missing/lock")), nullptr);
    auto lock = DistributedLock::lockWithPath(lockPath);
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(std::filesystem::exists(lockPath));  // made on the first tryLock
    EXPECT_TRUE(lock->tryLock());
    EXPECT_TRUE(std::filesystem::exists(lockPath));
}

TEST_F(DistributedLockTest, TwoObjectsExcludeEachOtherAndAnEmptyFileHoldsNothing) {
    writeFile("lock", "");
    auto first = DistributedLock::lockWithPath(lockPath);
    auto second = DistributedLock::lockWithPath(lockPath);
    EXPECT_EQ(second->lockDate(), std::nullopt);
    EXPECT_EQ(raised([&] { second->unlock(); }), "NSGenericException|unlock '" + lockPath + "': No locks available");

    const double before = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    ASSERT_TRUE(first->tryLock());
    EXPECT_FALSE(first->tryLock());  // already held, by itself
    EXPECT_FALSE(second->tryLock());
    const auto date = second->lockDate();
    ASSERT_TRUE(date.has_value());
    EXPECT_NEAR(date->timeIntervalSince1970(), before, 2.0);
    EXPECT_EQ(first->lockDate(), date);

    first->unlock();
    EXPECT_EQ(first->lockDate(), std::nullopt);
    EXPECT_TRUE(second->tryLock());
    // A destroyed holder leaves its lock held until someone unlocks it.
    second.reset();
    EXPECT_FALSE(first->tryLock());
    first->unlock();
    EXPECT_TRUE(first->tryLock());
}

TEST_F(DistributedLockTest, AKilledHolderReleasesTheLockAndBreakLockFreesItFromALiveOne) {
    auto holder = std::make_unique<Holder>(lockPath);
    ASSERT_TRUE(holder->holding());
    auto lock = DistributedLock::lockWithPath(lockPath);
    EXPECT_FALSE(lock->tryLock());
    EXPECT_NE(lock->lockDate(), std::nullopt);
    holder->kill();
    EXPECT_EQ(lock->lockDate(), std::nullopt);
    EXPECT_TRUE(lock->tryLock());
    lock->unlock();

    holder = std::make_unique<Holder>(lockPath);
    ASSERT_TRUE(holder->holding());
    ASSERT_FALSE(lock->tryLock());
    lock->breakLock();
    EXPECT_FALSE(std::filesystem::exists(lockPath));
    EXPECT_TRUE(lock->tryLock());
    EXPECT_FALSE(DistributedLock::lockWithPath(lockPath)->tryLock());
    lock->breakLock();  // its own hold too
    EXPECT_EQ(raised([&] { lock->unlock(); }), "NSGenericException|unlock '" + lockPath + "': No locks available");
}

TEST_F(DistributedLockTest, FileSystemFailuresRaise) {
    const std::string inFolder = path("locks/lock");
    std::filesystem::create_directories(path("locks"));
    auto lock = DistributedLock::lockWithPath(inFolder);
    ASSERT_NE(lock, nullptr);
    std::filesystem::remove(path("locks"));
    EXPECT_EQ(raised([&] { lock->tryLock(); }), "NSGenericException|tryLock '" + inFolder + "': No such file or directory");
    EXPECT_EQ(lock->lockDate(), std::nullopt);
    EXPECT_EQ(raised([&] { lock->breakLock(); }), "");  // nothing there to remove
}

}  // namespace
