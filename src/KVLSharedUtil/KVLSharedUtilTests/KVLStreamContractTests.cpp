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

}  // namespace
