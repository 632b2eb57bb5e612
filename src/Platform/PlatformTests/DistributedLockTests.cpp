#include "Platform/DistributedLock.h"

#include <gtest/gtest.h>

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

TEST_F(DistributedLockTest, BreakLockFreesTheLockFromEveryHolder) {
    auto holder = DistributedLock::lockWithPath(lockPath);
    auto lock = DistributedLock::lockWithPath(lockPath);
    ASSERT_TRUE(holder->tryLock());
    holder.reset();  // its hold stays, orphaned
    ASSERT_FALSE(lock->tryLock());
    lock->breakLock();
    EXPECT_FALSE(std::filesystem::exists(lockPath));
    EXPECT_TRUE(lock->tryLock());
    EXPECT_FALSE(DistributedLock::lockWithPath(lockPath)->tryLock());
    lock->breakLock();  // its own hold too, and no orphaned one is left to unlock
    EXPECT_THROW(lock->unlock(), platform::Exception);
}

TEST_F(DistributedLockTest, FileSystemFailuresRaise) {
    const std::string inFolder = path("locks/lock");
    std::filesystem::create_directories(path("locks"));
    auto lock = DistributedLock::lockWithPath(inFolder);
    ASSERT_NE(lock, nullptr);
    std::filesystem::remove(path("locks"));
    EXPECT_EQ(raised([&] { lock->tryLock(); }),
              "NSGenericException|tryLock '" + inFolder + "': No such file or directory");
    EXPECT_EQ(lock->lockDate(), std::nullopt);
    EXPECT_EQ(raised([&] { lock->breakLock(); }), "");  // nothing there to remove
}

}  // namespace
