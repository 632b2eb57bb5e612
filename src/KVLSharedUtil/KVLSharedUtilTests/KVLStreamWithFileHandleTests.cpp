#include <sys/file.h>

#include <filesystem>

#include "KVLStreamTest.h"

namespace {

using platform::FileHandle;

using kvltest::kInternal;
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
