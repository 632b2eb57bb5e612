#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <type_traits>

#include "KVLStreamTest.h"
#include "TestSupport/RecordingAPIBypass.h"

namespace {

using kvltest::kInternal;
using kvltest::KVLStreamTest;

using StreamKinds = ::testing::Types<kvltest::DescriptorStream, kvltest::HandleStream>;
TYPED_TEST_SUITE(KVLStreamTest, StreamKinds);

TYPED_TEST(KVLStreamTest, TransfersAtOffsetsAndSizesChangeTheFileAsAsked) {
    auto stream = this->streamOn("abcdefghij");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->getName(), this->path("data"));
    IKVLInternalError* record = this->record.get();
    stream->setPointerPosition(7, record);
    char buffer[16] = {};
    std::uint64_t count = 99;
    stream->read(10, 8, buffer, &count, record);
    EXPECT_EQ(std::string(buffer, count), "ij");
    stream->read(10, 1000, buffer, &count, record);
    EXPECT_EQ(count, 0u);
    stream->read(3, 0, buffer, nullptr, record);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    stream->write(2, 1, "!!", &count, record);  // inside: size and position stay
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(this->size(*stream), 10u);
    EXPECT_EQ(this->position(*stream), 7u);

    stream->write(4, 20, "WXYZ", &count, record);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(this->size(*stream), 24u);
    EXPECT_EQ(this->position(*stream), TypeParam::kResizeMovesPosition ? 20u : 7u);
    EXPECT_EQ(this->readFile("data"), "a!!defghij" + std::string(10, '\0') + "WXYZ");

    stream->setSize(0, record);
    stream->write(3, 0, "abc", nullptr, record);  // an empty file, offset 0
    stream->setSize(5, record);
    EXPECT_EQ(this->position(*stream), TypeParam::kResizeMovesPosition ? 5u : 7u);
    stream->synchronizeFile(record);
    EXPECT_EQ(this->readFile("data"), std::string("abc\0\0", 5));
    EXPECT_TRUE(record->isSuccess());
    EXPECT_TRUE(this->logger->lines().empty());
}

TYPED_TEST(KVLStreamTest, NullArgumentsAreRefusedAndChangeNothing) {
    auto stream = this->streamOn("abc");
    IKVLInternalError* record = this->record.get();
    std::uint64_t count = 77;
    const std::pair<std::function<void()>, const char*> calls[] = {
        {[&] { stream->read(3, 0, nullptr, &count, record); }, TypeParam::kInvalid},
        {[&] { stream->write(3, 10, nullptr, &count, record); }, TypeParam::kInvalid},
        {[&] { stream->getSize(nullptr, record); }, TypeParam::kInvalid},
        {[&] { stream->getPointerPosition(nullptr, record); }, TypeParam::kInvalidPosition},
    };
    for (const auto& [call, message] : calls) {
        call();
        this->expectFailure(-10001, kInternal, message);
    }
    EXPECT_EQ(count, 77u);
    EXPECT_EQ(this->readFile("data"), "abc");
}

TYPED_TEST(KVLStreamTest, AnEmptyOrClosedStreamIsUninitializedAndClosesQuietly) {
    typename TypeParam::Stream empty;
    EXPECT_EQ(empty.getName(), std::nullopt);
    EXPECT_EQ(empty.getNativeHandle(), TypeParam::handle(TypeParam::none()));
    IKVLInternalError* record = this->record.get();
    char buffer[4];
    std::uint64_t value = 0;
    const std::function<void(IKVLStream&)> operations[] = {
        [&](IKVLStream& s) { s.read(1, 0, buffer, &value, record); },
        [&](IKVLStream& s) { s.write(1, 0, "x", &value, record); },
        [&](IKVLStream& s) { s.setPointerPosition(0, record); },
        [&](IKVLStream& s) { s.getPointerPosition(&value, record); },
        [&](IKVLStream& s) { s.getSize(&value, record); },
        [&](IKVLStream& s) { s.setSize(0, record); },
        [&](IKVLStream& s) { s.synchronizeFile(record); },
    };
    for (const auto& operation : operations) {
        operation(empty);
        this->expectFailure(-10003, kInternal, TypeParam::kUninitialized);
    }

    auto stream = this->streamOn("abc");
    stream->close(record);
    EXPECT_EQ(stream->getName(), this->path("data"));  // the name survives close
    stream->getSize(&value, record);
    this->expectFailure(-10003, kInternal, TypeParam::kUninitialized);
    const std::size_t linesBefore = this->logger->lines().size();
    stream->close(record);
    empty.close(record);
    EXPECT_TRUE(record->isSuccess());
    EXPECT_EQ(this->logger->lines().size(), linesBefore);
}

TYPED_TEST(KVLStreamTest, OnlyAnOwningStreamClosesItsNativeHandle) {
    this->writeFile("data", "abc");
    const std::string file = this->path("data");
    IKVLInternalError* record = this->record.get();

    const auto borrowed = TypeParam::openNative(file);
    auto stream = TypeParam::adopt(borrowed, "borrowed", false, record);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->getName(), "borrowed");
    EXPECT_EQ(stream->getNativeHandle(), TypeParam::handle(borrowed));
    stream->close(record);
    EXPECT_TRUE(TypeParam::isOpen(borrowed));

    const auto disowned = TypeParam::openNative(file);
    stream = TypeParam::adopt(disowned, "disowned", true, record);
    stream->disownNativeHandle();
    stream.reset();
    EXPECT_TRUE(TypeParam::isOpen(disowned));

    const auto adopted = TypeParam::openNative(file);
    stream = TypeParam::adopt(adopted, "adopted", true, record);
    TypeParam::retarget(*stream, borrowed, false);  // re-targeting closes the owned one
    EXPECT_FALSE(TypeParam::isOpen(adopted));
    EXPECT_EQ(stream->getNativeHandle(), TypeParam::handle(borrowed));
    TypeParam::retarget(*stream, disowned, true);  // and forgets a borrowed one without closing it
    EXPECT_TRUE(TypeParam::isOpen(borrowed));
    stream.reset();
    EXPECT_FALSE(TypeParam::isOpen(disowned));
    EXPECT_TRUE(record->isSuccess());

    EXPECT_EQ(TypeParam::adopt(TypeParam::none(), "name", true, record), nullptr);
    this->expectFailure(-10001, kInternal, TypeParam::kInvalid);
    EXPECT_EQ(TypeParam::adopt(borrowed, std::nullopt, false, record), nullptr);
    this->expectFailure(-10001, kInternal, TypeParam::kInvalid);
    if constexpr (std::is_same_v<decltype(borrowed), const int>)
        ::close(borrowed);
}

TYPED_TEST(KVLStreamTest, FileSystemWorkRunsInTheSafeZone) {
    auto stream = this->streamOn("abc");
    const auto bypass = std::make_shared<kvltest::RecordingAPIBypass>();
    KVLSharedUtil::sharedInstance()->setAPIBypass(bypass);
    stream->write(1, 10, "x", nullptr, this->record.get());  // itself, the size, the extension
    typename TypeParam::Stream empty;
    empty.read(1, 0, nullptr, nullptr, this->record.get());  // a failure leaves the zone too
    KVLSharedUtil::sharedInstance()->setAPIBypass(nullptr);
    EXPECT_EQ(bypass->calls,
              (std::vector<std::string>{"enter", "enter", "exit", "enter", "exit", "exit", "enter", "exit"}));
}

// The descriptor stream.

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

// The file-handle stream.

using platform::FileHandle;
constexpr std::uint64_t k2To63 = std::uint64_t{1} << 63;

// What a call raised, "<reason>|<errno>", or "".
std::string raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::FileHandleException& exception) {
        return exception.reason() + "|" + std::to_string(exception.posixError());
    }
    return "";
}

using KVLStreamWithFileHandleTest = kvltest::KVLStreamTest<kvltest::HandleStream>;

TEST_F(KVLStreamWithFileHandleTest, ShareModesAreRefusedWithoutTakingALock) {
    auto stream = streamOn("abc");
    KVLStreamWithFileHandle empty;
    for (IKVLStream* target : {static_cast<IKVLStream*>(stream.get()), static_cast<IKVLStream*>(&empty)}) {
        target->changeSharedMode(LOCK_EX | LOCK_NB, record.get());
        expectFailure(-14002, kInternal, "KVLStreamWithFileHandle - Changing share mode is not supported.");
    }
    const int other = ::open(path("data").c_str(), O_RDONLY);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);  // no lock was taken
    ::close(other);
}

TEST_F(KVLStreamWithFileHandleTest, PathInitializersOpenOnlyExistingFiles) {
    using Init = std::unique_ptr<KVLStreamWithFileHandle> (*)(const std::optional<platform::URL>&, IKVLInternalError*);
    for (Init init :
         {&KVLStreamWithFileHandle::initForReadingFromFilePath, &KVLStreamWithFileHandle::initForWritingFromFilePath,
          &KVLStreamWithFileHandle::initForUpdatingFromFilePath}) {
        EXPECT_EQ(init(url("missing"), record.get()), nullptr);
        expectFailure(260, KVLInternalErrorTypeCocoa,
                      "KVLStreamWithFileHandle - Failed to open the file. - The file “missing” couldn’t be opened "
                      "because there is no such file.");
        EXPECT_EQ(init(std::nullopt, record.get()), nullptr);
        expectFailure(-10001, kInternal, "KVLStreamWithFileHandle - Invalid parameters");
    }
    EXPECT_FALSE(std::filesystem::exists(path("missing")));

    writeFile("data", "hello");
    auto writing = KVLStreamWithFileHandle::initForWritingFromFilePath(url("data"), record.get());
    ASSERT_NE(writing, nullptr);
    EXPECT_EQ(position(*writing), 0u);
    writing->write(1, 0, "J", nullptr, record.get());
    writing.reset();
    EXPECT_EQ(readFile("data"), "Jello");  // neither created nor cut

    auto reading = KVLStreamWithFileHandle::initForReadingFromFilePath(url("data"), record.get());
    ASSERT_NE(reading, nullptr);
    EXPECT_EQ(raised([&] { reading->write(1, 0, "x", nullptr, record.get()); }), "writeData: Bad file descriptor|9");
    EXPECT_TRUE(record->isSuccess());
}

TEST_F(KVLStreamWithFileHandleTest, TheHandlesFailuresPassThroughWithoutARecord) {
    auto stream = streamOn("abc");
    char buffer[4];
    EXPECT_EQ(raised([&] { stream->read(1, k2To63, buffer, nullptr, record.get()); }),
              "seekToFileOffset: Invalid argument|22");

    // The descriptor closed behind the stream's back.
    auto handle = static_cast<FileHandle*>(stream->getNativeHandle());
    ASSERT_EQ(::close(handle->fileDescriptor()), 0);
    std::uint64_t value = 0;
    EXPECT_EQ(raised([&] { stream->read(1, 0, buffer, &value, record.get()); }), "offsetInFile: Bad file descriptor|9");
    EXPECT_EQ(raised([&] { stream->close(record.get()); }), "closeFile: Bad file descriptor|9");
    EXPECT_EQ(stream->getNativeHandle(), nullptr);  // closed all the same
    EXPECT_TRUE(record->isSuccess());
    EXPECT_TRUE(logger->lines().empty());

    // Destruction swallows what closing an owned, already closed descriptor raises.
    writeFile("other", "x");
    auto owned = KVLStreamWithFileHandle::initForReadingFromFilePath(url("other"), record.get());
    ASSERT_EQ(::close(static_cast<FileHandle*>(owned->getNativeHandle())->fileDescriptor()), 0);
    EXPECT_EQ(raised([&] { owned.reset(); }), "");
}

}  // namespace
