#include "Platform/DistributedLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "TestFolder.h"

namespace {

using platform::DistributedLock;

double now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

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
            ::close(ready[0]);
            auto lock = DistributedLock::lockWithPath(path);
            const char taken = lock != nullptr && lock->tryLock() ? 'y' : 'n';
            (void)::write(ready[1], &taken, 1);
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

TEST(DistributedLock, ServesOnlyAFilePathInAnExistingFolder) {
    platformtest::TestFolder folder;
    EXPECT_EQ(DistributedLock::lockWithPath(""), nullptr);
    EXPECT_EQ(DistributedLock::lockWithPath(folder.path()), nullptr);
    EXPECT_EQ(DistributedLock::lockWithPath(folder / "missing/lock"), nullptr);
    auto lock = DistributedLock::lockWithPath(folder / "lock");
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(std::filesystem::exists(folder / "lock"));  // made on the first tryLock
    EXPECT_TRUE(lock->tryLock());
    EXPECT_TRUE(std::filesystem::exists(folder / "lock"));
}

TEST(DistributedLock, TwoObjectsExcludeEachOtherAndAnEmptyFileHoldsNothing) {
    platformtest::TestFolder folder;
    const std::string path = folder.write("lock", "");
    auto first = DistributedLock::lockWithPath(path);
    auto second = DistributedLock::lockWithPath(path);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->lockDate(), std::nullopt);
    EXPECT_EQ(raised([&] { second->unlock(); }), "NSGenericException|unlock '" + path + "': No locks available");

    const double before = now();
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
    second->unlock();
    EXPECT_TRUE(std::filesystem::exists(path));  // the file stays; it holds nothing
}

TEST(DistributedLock, AHolderThatIsKilledReleasesTheLock) {
    platformtest::TestFolder folder;
    const std::string path = folder / "lock";
    Holder holder(path);
    ASSERT_TRUE(holder.holding());
    auto lock = DistributedLock::lockWithPath(path);
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(lock->tryLock());
    EXPECT_NE(lock->lockDate(), std::nullopt);
    holder.kill();
    EXPECT_EQ(lock->lockDate(), std::nullopt);
    EXPECT_TRUE(lock->tryLock());
}

TEST(DistributedLock, DestroyingAHolderKeepsTheLockUntilUnlocked) {
    platformtest::TestFolder folder;
    const std::string path = folder / "lock";
    DistributedLock::lockWithPath(path)->tryLock();
    auto lock = DistributedLock::lockWithPath(path);
    EXPECT_FALSE(lock->tryLock());
    lock->unlock();  // releases what the destroyed object left held
    EXPECT_TRUE(lock->tryLock());
}

TEST(DistributedLock, BreakLockFreesTheLockFromALiveHolder) {
    platformtest::TestFolder folder;
    const std::string path = folder / "lock";
    Holder holder(path);
    ASSERT_TRUE(holder.holding());
    auto lock = DistributedLock::lockWithPath(path);
    ASSERT_FALSE(lock->tryLock());
    lock->breakLock();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(lock->tryLock());
    EXPECT_FALSE(DistributedLock::lockWithPath(path)->tryLock());

    lock->breakLock();  // its own hold too
    EXPECT_EQ(raised([&] { lock->unlock(); }), "NSGenericException|unlock '" + path + "': No locks available");
    EXPECT_TRUE(lock->tryLock());
}

TEST(DistributedLock, FileSystemFailuresRaise) {
    platformtest::TestFolder folder;
    const std::string path = folder / "locks/lock";
    std::filesystem::create_directories(folder / "locks");
    auto lock = DistributedLock::lockWithPath(path);
    ASSERT_NE(lock, nullptr);
    std::filesystem::remove_all(folder / "locks");
    EXPECT_EQ(raised([&] { lock->tryLock(); }), "NSGenericException|tryLock '" + path + "': No such file or directory");
    EXPECT_EQ(lock->lockDate(), std::nullopt);
    EXPECT_EQ(raised([&] { lock->breakLock(); }), "");  // nothing there to remove
}

}  // namespace
