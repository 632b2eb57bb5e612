#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "KVLStreamTest.h"

namespace {

using kvltest::kInternal;
constexpr std::int32_t kPosix = KVLInternalErrorTypePosix;
using KVLStreamWithFileDescriptorTest = kvltest::KVLStreamTest<kvltest::DescriptorStream>;

TEST_F(KVLStreamWithFileDescriptorTest, PathInitializersOpenCreateAndTruncate) {
    for (int flags : {O_RDWR | O_CREAT, O_RDWR | O_TRUNC}) {  // creating and truncating have their own initializers
        EXPECT_EQ(KVLStreamWithFileDescriptor::initAndOpenFromFilePath(url("new"), flags, record.get()), nullptr);
        expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
    }
    EXPECT_EQ(KVLStreamWithFileDescriptor::initAndOpenFromFilePath(url("new"), O_RDWR, record.get()), nullptr);
    expectFailure(ENOENT, kPosix,
                  "KVLStreamWithFileDescriptor - Failed to open or create the file. - No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(path("new")));
    EXPECT_EQ(KVLStreamWithFileDescriptor::initAndCreateAtFilePath(std::nullopt, O_RDWR, 0644, record.get()), nullptr);
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");

    const mode_t mask = ::umask(022);
    auto created = KVLStreamWithFileDescriptor::initAndCreateAtFilePath(url("new"), O_RDWR, 0640, record.get());
    ::umask(mask);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->getName(), path("new"));
    EXPECT_EQ(std::filesystem::status(path("new")).permissions(), std::filesystem::perms(0640));
    created->write(5, 0, "hello", nullptr, record.get());
    created.reset();

    auto reopened = KVLStreamWithFileDescriptor::initAndCreateAtFilePath(url("new"), O_RDONLY, 0600, record.get());
    ASSERT_NE(reopened, nullptr);
    std::uint64_t size = 0;
    reopened->getSize(&size, record.get());
    EXPECT_EQ(size, 5u);  // present: opened unchanged
    EXPECT_EQ(KVLStreamWithFileDescriptor::initAndCreateAtFilePath(url("new"), O_RDWR | O_EXCL, 0600, record.get()),
              nullptr);
    expectFailure(EEXIST, kPosix, "KVLStreamWithFileDescriptor - Failed to open or create the file. - File exists");

    auto truncated = KVLStreamWithFileDescriptor::initAndTruncateFromFilePath(url("new"), O_WRONLY, record.get());
    ASSERT_NE(truncated, nullptr);
    truncated->getSize(&size, record.get());
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(record->isSuccess());

    // A record that already holds a failure fails the initializer after the open; what was
    // opened is closed again.
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    record->populateWithErrorMessage("earlier", -1, kInternal, "x", 1, std::nullopt);
    const auto before = openDescriptors();
    EXPECT_EQ(KVLStreamWithFileDescriptor::initAndOpenFromFilePath(url("new"), O_RDONLY, record.get()), nullptr);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(record->getDescription(), "earlier");
}

TEST_F(KVLStreamWithFileDescriptorTest, ADescriptorClosedBehindTheStreamsBackFailsEverySystemCall) {
    auto stream = streamOn("abc");
    ASSERT_EQ(::close(static_cast<int>(reinterpret_cast<std::intptr_t>(stream->getNativeHandle()))), 0);
    char buffer[4];
    std::uint64_t value = 5;
    const std::pair<std::function<void()>, std::string> calls[] = {
        {[&] { stream->read(1, 0, buffer, &value, record.get()); }, "read bytes"},
        {[&] { stream->write(1, 0, "x", &value, record.get()); }, "get size"},  // the size comes first
        {[&] { stream->setSize(1, record.get()); }, "truncate or extend file"},
        {[&] { stream->setPointerPosition(1, record.get()); }, "set file pointer position"},
        {[&] { stream->getPointerPosition(&value, record.get()); }, "get file pointer position"},
        {[&] { stream->synchronizeFile(record.get()); }, "synchronize file content"},
        {[&] { stream->changeSharedMode(LOCK_SH, record.get()); }, "change share mode"},
        {[&] { stream->close(record.get()); }, "close the file."},
    };
    for (const auto& [call, failed] : calls) {
        call();
        expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to " + failed + " - Bad file descriptor");
    }
    EXPECT_EQ(value, 5u);
    stream->getSize(&value, record.get());  // closed all the same
    expectFailure(-10003, kInternal, "KVLStreamWithFileDescriptor - Uninitialized object");
}

TEST_F(KVLStreamWithFileDescriptorTest, AFullDiskCutsAWriteShortAndThenFailsIt) {
    auto stream = streamOn("");
    const int status = kvltest::runInChild([&] {
        // The file-size limit stands in for a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        const std::string block(8192, 'z');
        std::uint64_t written = 0;
        stream->write(block.size(), 0, block.data(), &written, record.get());
        if (!record->isSuccess() || written != 4096)
            return 11;  // a short write is reported as it came
        stream->write(block.size(), 4096, block.data(), &written, record.get());
        if (record->getErrorCode() != EFBIG ||
            record->getDescription() != "KVLStreamWithFileDescriptor - Failed to write bytes - File too large")
            return 12;
        record->reset();
        stream->write(1, 10000, "z", &written, record.get());
        if (record->getDescription() !=
            "KVLStreamWithFileDescriptor - Failed to truncate or extend file - File too large")
            return 13;
        return written == 4096 ? 0 : 14;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile("data"), std::string(4096, 'z'));
}

}  // namespace
