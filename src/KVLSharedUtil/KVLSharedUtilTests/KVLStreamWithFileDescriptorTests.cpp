#include "KVLSharedUtil/KVLStreamWithFileDescriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "LoggedServicesTest.h"
#include "TestSupport/RecordingAPIBypass.h"

namespace {

constexpr const char* kFile = "src/KVLSharedUtil/KVLSharedUtil/KVLStreamWithFileDescriptor";
constexpr std::int32_t kInternal = KVLInternalErrorTypeInternal;
constexpr std::int32_t kPosix = KVLInternalErrorTypePosix;
constexpr std::uint64_t k2To63 = std::uint64_t{1} << 63;

bool isOpen(int descriptor) { return ::fcntl(descriptor, F_GETFD) != -1; }

std::string hundredBytes() {
    std::string text;
    for (int i = 0; i < 100; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    return text;
}

class KVLStreamWithFileDescriptorTest : public kvltest::LoggedServicesTest {
protected:
    // A stream that owns a descriptor on a file holding contents.
    std::unique_ptr<KVLStreamWithFileDescriptor> streamOn(const std::string& contents, int flags = O_RDWR) {
        writeFile("data", contents);
        auto stream = KVLStreamWithFileDescriptor::initAndOpenFromFilePath(platform::URL::fileURLWithPath(path("data")),
                                                                           flags, record.get());
        EXPECT_NE(stream, nullptr);
        EXPECT_TRUE(record->isSuccess()) << record->description();
        return stream;
    }
    void expectFailure(std::int64_t code, std::int32_t type, const std::string& message) {
        LoggedServicesTest::expectFailure(*record, code, type, message, kFile, *logger);
        record->reset();
    }

    std::unique_ptr<IKVLInternalError> record = KVLCreateInternalError();
};

TEST_F(KVLStreamWithFileDescriptorTest, ReadsAtOffsetsWithoutMovingThePosition) {
    auto stream = streamOn(hundredBytes());
    stream->setPointerPosition(7, record.get());
    char buffer[16] = {};
    std::uint64_t count = 99;
    stream->read(10, 95, buffer, &count, record.get());
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::string(buffer, 5), hundredBytes().substr(95));
    for (std::uint64_t offset : {100u, 1000u}) {
        count = 99;
        stream->read(10, offset, buffer, &count, record.get());
        EXPECT_EQ(count, 0u);
    }
    stream->read(3, 0, buffer, nullptr, record.get());
    EXPECT_EQ(std::string(buffer, 3), "abc");
    std::uint64_t position = 0;
    stream->getPointerPosition(&position, record.get());
    EXPECT_EQ(position, 7u);
    EXPECT_TRUE(record->isSuccess());
    EXPECT_TRUE(logger->lines().empty());
}

TEST_F(KVLStreamWithFileDescriptorTest, WritesExtendTheFileWithZerosUpToTheOffset) {
    auto stream = streamOn(hundredBytes());
    std::uint64_t written = 0;
    stream->write(4, 200, "WXYZ", &written, record.get());
    EXPECT_EQ(written, 4u);
    std::uint64_t size = 0;
    stream->getSize(&size, record.get());
    EXPECT_EQ(size, 204u);
    EXPECT_EQ(readFile("data"), hundredBytes() + std::string(100, '\0') + "WXYZ");

    stream->write(2, 1, "!!", &written, record.get());  // inside: the size stays
    stream->getSize(&size, record.get());
    EXPECT_EQ(size, 204u);
    std::uint64_t position = 1;
    stream->getPointerPosition(&position, record.get());
    EXPECT_EQ(position, 0u);

    stream->setSize(0, record.get());
    stream->write(3, 0, "abc", nullptr, record.get());  // an empty file, offset 0
    stream->setSize(5, record.get());
    EXPECT_EQ(readFile("data"), std::string("abc\0\0", 5));
    EXPECT_TRUE(record->isSuccess());
    EXPECT_TRUE(logger->lines().empty());
}

TEST_F(KVLStreamWithFileDescriptorTest, NullArgumentsAreRefusedAndChangeNothing) {
    auto stream = streamOn("abc");
    std::uint64_t count = 77;
    stream->read(3, 0, nullptr, &count, record.get());
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
    stream->write(3, 10, nullptr, &count, record.get());
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(readFile("data"), "abc");
    stream->getSize(nullptr, record.get());
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
    stream->getPointerPosition(nullptr, record.get());
    expectFailure(-10001, kInternal, "Stream with file decriptor - Invalid parameters");
    EXPECT_EQ(logger->lines().size(), 4u);
}

TEST_F(KVLStreamWithFileDescriptorTest, AnEmptyOrClosedStreamIsUninitializedAndClosesQuietly) {
    KVLStreamWithFileDescriptor empty;
    EXPECT_EQ(empty.getName(), std::nullopt);
    EXPECT_EQ(empty.getNativeHandle(), reinterpret_cast<void*>(std::intptr_t{-1}));
    char buffer[4];
    std::uint64_t value = 0;
    const std::function<void(IKVLStream&)> operations[] = {
        [&](IKVLStream& s) { s.read(1, 0, buffer, &value, record.get()); },
        [&](IKVLStream& s) { s.write(1, 0, "x", &value, record.get()); },
        [&](IKVLStream& s) { s.setPointerPosition(0, record.get()); },
        [&](IKVLStream& s) { s.getPointerPosition(&value, record.get()); },
        [&](IKVLStream& s) { s.getSize(&value, record.get()); },
        [&](IKVLStream& s) { s.setSize(0, record.get()); },
        [&](IKVLStream& s) { s.synchronizeFile(record.get()); },
        [&](IKVLStream& s) { s.changeSharedMode(LOCK_EX, record.get()); },
    };
    for (const auto& operation : operations) {
        operation(empty);
        expectFailure(-10003, kInternal, "KVLStreamWithFileDescriptor - Uninitialized object");
    }
    empty.close(record.get());
    EXPECT_TRUE(record->isSuccess());

    auto stream = streamOn("abc");
    const int descriptor = static_cast<int>(reinterpret_cast<std::intptr_t>(stream->getNativeHandle()));
    stream->close(record.get());
    EXPECT_FALSE(isOpen(descriptor));
    EXPECT_EQ(stream->getName(), path("data"));  // the name survives close
    stream->getSize(&value, record.get());
    expectFailure(-10003, kInternal, "KVLStreamWithFileDescriptor - Uninitialized object");
    const std::size_t linesBefore = logger->lines().size();
    stream->close(record.get());
    EXPECT_TRUE(record->isSuccess());
    EXPECT_EQ(logger->lines().size(), linesBefore);
}

TEST_F(KVLStreamWithFileDescriptorTest, OnlyAnOwningStreamClosesItsDescriptor) {
    writeFile("data", "abc");
    const auto open = [&] { return ::open(path("data").c_str(), O_RDONLY); };

    const int borrowed = open();
    auto stream = KVLStreamWithFileDescriptor::initFromFileDescriptor(borrowed, "borrowed", false, record.get());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->getName(), "borrowed");
    stream->close(record.get());
    EXPECT_TRUE(isOpen(borrowed));
    stream = KVLStreamWithFileDescriptor::initFromFileDescriptor(borrowed, "borrowed", false, record.get());
    stream.reset();
    EXPECT_TRUE(isOpen(borrowed));

    const int disowned = open();
    stream = KVLStreamWithFileDescriptor::initFromFileDescriptor(disowned, "disowned", true, record.get());
    stream->disownNativeHandle();
    stream.reset();
    EXPECT_TRUE(isOpen(disowned));

    const int adopted = open();
    const int next = open();
    stream = KVLStreamWithFileDescriptor::initFromFileDescriptor(adopted, "adopted", true, record.get());
    stream->setFileDescriptor(next, true);  // re-targeting closes the owned one
    EXPECT_FALSE(isOpen(adopted));
    EXPECT_EQ(stream->getNativeHandle(), reinterpret_cast<void*>(std::intptr_t{next}));
    stream->setFileDescriptor(borrowed, false);
    EXPECT_FALSE(isOpen(next));
    stream->setFileDescriptor(-1, true);  // forgets the borrowed one without closing it
    EXPECT_TRUE(isOpen(borrowed));
    EXPECT_EQ(stream->getNativeHandle(), reinterpret_cast<void*>(std::intptr_t{-1}));
    stream->setFileDescriptor(disowned, true);
    stream.reset();
    EXPECT_FALSE(isOpen(disowned));
    ::close(borrowed);
    EXPECT_TRUE(record->isSuccess());

    EXPECT_EQ(KVLStreamWithFileDescriptor::initFromFileDescriptor(-1, "name", true, record.get()), nullptr);
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
    EXPECT_EQ(KVLStreamWithFileDescriptor::initFromFileDescriptor(0, std::nullopt, false, record.get()), nullptr);
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
}

TEST_F(KVLStreamWithFileDescriptorTest, PathInitializersOpenCreateAndTruncate) {
    const auto url = [&](const char* name) { return platform::URL::fileURLWithPath(path(name)); };
    EXPECT_EQ(KVLStreamWithFileDescriptor::initAndOpenFromFilePath(url("new"), O_RDWR | O_CREAT, record.get()), nullptr);
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
    EXPECT_EQ(KVLStreamWithFileDescriptor::initAndOpenFromFilePath(url("new"), O_RDWR | O_TRUNC, record.get()), nullptr);
    expectFailure(-10001, kInternal, "KVLStreamWithFileDescriptor - Invalid parameters");
    EXPECT_EQ(KVLStreamWithFileDescriptor::initAndOpenFromFilePath(url("new"), O_RDWR, record.get()), nullptr);
    expectFailure(ENOENT, kPosix, "KVLStreamWithFileDescriptor - Failed to open or create the file. - No such file or directory");
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
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
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
    const std::string bad = " - Bad file descriptor";
    stream->read(1, 0, buffer, &value, record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to read bytes" + bad);
    EXPECT_EQ(value, 5u);
    stream->write(1, 0, "x", &value, record.get());  // the size comes first
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to get size" + bad);
    stream->setSize(1, record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to truncate or extend file" + bad);
    stream->setPointerPosition(1, record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to set file pointer position" + bad);
    stream->getPointerPosition(&value, record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to get file pointer position" + bad);
    stream->synchronizeFile(record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to synchronize file content" + bad);
    stream->changeSharedMode(LOCK_SH, record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to change share mode" + bad);
    EXPECT_EQ(value, 5u);
    stream->close(record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to close the file." + bad);
    stream->getSize(&value, record.get());  // closed all the same
    expectFailure(-10003, kInternal, "KVLStreamWithFileDescriptor - Uninitialized object");
}

TEST_F(KVLStreamWithFileDescriptorTest, OffsetsFrom2To63AreRefusedByTheSystem) {
    auto stream = streamOn("abc");
    char buffer[4];
    std::uint64_t value = 5;
    const std::string invalid = " - Invalid argument";
    stream->read(1, k2To63, buffer, &value, record.get());
    expectFailure(EINVAL, kPosix, "KVLStreamWithFileDescriptor - Failed to read bytes" + invalid);
    stream->write(1, k2To63, "x", &value, record.get());  // the extension to the offset fails first
    expectFailure(EINVAL, kPosix, "KVLStreamWithFileDescriptor - Failed to truncate or extend file" + invalid);
    stream->setPointerPosition(~std::uint64_t{0}, record.get());
    expectFailure(EINVAL, kPosix, "KVLStreamWithFileDescriptor - Failed to set file pointer position" + invalid);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(readFile("data"), "abc");
}

TEST_F(KVLStreamWithFileDescriptorTest, ShareModesAreFlockOperations) {
    auto stream = streamOn("abc");
    const int other = ::open(path("data").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    stream->changeSharedMode(LOCK_EX | LOCK_NB, record.get());
    expectFailure(EWOULDBLOCK, kPosix,
                  "KVLStreamWithFileDescriptor - Failed to change share mode - Resource temporarily unavailable");
    ::close(other);
    stream->changeSharedMode(LOCK_EX | LOCK_NB, record.get());
    EXPECT_TRUE(record->isSuccess());
    const int third = ::open(path("data").c_str(), O_RDONLY);
    EXPECT_NE(::flock(third, LOCK_SH | LOCK_NB), 0);
    stream->changeSharedMode(LOCK_UN, record.get());
    EXPECT_EQ(::flock(third, LOCK_SH | LOCK_NB), 0);
    ::close(third);
}

TEST_F(KVLStreamWithFileDescriptorTest, ReadOnlyFilesAndDescriptors) {
    auto reading = streamOn("abc", O_RDONLY);
    std::uint64_t written = 9;
    reading->write(1, 0, "x", &written, record.get());
    expectFailure(EBADF, kPosix, "KVLStreamWithFileDescriptor - Failed to write bytes - Bad file descriptor");
    EXPECT_EQ(written, 9u);
    reading.reset();

    ASSERT_EQ(::chmod(root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(path("data").c_str(), 0444), 0);
    const int status = kvltest::runAsNobody([&] {
        auto stream = KVLStreamWithFileDescriptor::initAndOpenFromFilePath(
            platform::URL::fileURLWithPath(path("data")), O_RDWR, record.get());
        if (stream != nullptr) return 1;
        if (record->getErrorCode() != EACCES || record->getErrorType() != kPosix) return 2;
        if (record->getDescription() !=
            "KVLStreamWithFileDescriptor - Failed to open or create the file. - Permission denied")
            return 3;
        return logger->lines().back().message == record->description() ? 0 : 4;
    });
    if (status == -1) {
        GTEST_SKIP() << "cannot switch to the user nobody, and root ignores file permissions";
    }
    EXPECT_EQ(status, 0);
}

TEST_F(KVLStreamWithFileDescriptorTest, AFullDiskCutsAWriteShortAndThenFailsIt) {
    auto stream = streamOn("");
    const int status = kvltest::runInChild([&] {
        // The file-size limit stands in for a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        const std::string block(8192, 'z');
        std::uint64_t written = 0;
        stream->write(block.size(), 0, block.data(), &written, record.get());
        if (!record->isSuccess() || written != 4096) return 11;  // a short write is reported as it came
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

TEST_F(KVLStreamWithFileDescriptorTest, FileSystemWorkRunsInTheSafeZone) {
    auto stream = streamOn("abc");
    kvltest::InstalledAPIBypass bypass;
    stream->write(1, 10, "x", nullptr, record.get());  // itself, the size, the extension
    EXPECT_EQ(bypass.calls(), (std::vector<std::string>{"enter", "enter", "exit", "enter", "exit", "exit"}));
    (void)stream->getName();
    (void)stream->getNativeHandle();
    stream->disownNativeHandle();
    stream->setName("other");
    EXPECT_EQ(bypass.calls().size(), 6u);

    KVLStreamWithFileDescriptor empty;
    char buffer[1];
    empty.read(1, 0, buffer, nullptr, record.get());  // a failure leaves the zone too
    EXPECT_EQ(bypass.calls().size(), 8u);
    EXPECT_EQ(bypass.calls().back(), "exit");
}

}  // namespace
