#include "Platform/FileHandle.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <limits>

#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::FileHandle;
using platform::URL;

std::string text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Runs call and answers what it raised: "<name>|<reason>|<errno>", or "" when it raised nothing.
std::string raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::FileHandleException& exception) {
        return exception.name() + "|" + exception.reason() + "|" + std::to_string(exception.posixError());
    }
    return "";
}

bool isOpen(int descriptor) { return ::fcntl(descriptor, F_GETFD) != -1; }

class FileHandleTest : public kvltest::TemporaryRootTest {
protected:
    URL fileURL(const std::string& contents) const {
        writeFile("data", contents);
        return URL::fileURLWithPath(path("data"));
    }
};

TEST_F(FileHandleTest, OpensExistingFilesOnlyForItsDirectionAndNeverCreatesOrTruncates) {
    const URL file = fileURL("hello world");
    auto writing = FileHandle::fileHandleForWritingToURL(file);
    ASSERT_NE(writing, nullptr);
    writing->writeData(bytesOf("J"));
    EXPECT_EQ(raised([&] { writing->readDataOfLength(1); }),
              "NSFileHandleOperationException|readDataOfLength: Bad file descriptor|9");
    writing.reset();
    auto reading = FileHandle::fileHandleForReadingFromURL(file);
    ASSERT_NE(reading, nullptr);
    EXPECT_EQ(text(reading->readDataToEndOfFile()), "Jello world");
    EXPECT_EQ(raised([&] { reading->writeData(bytesOf("x")); }),
              "NSFileHandleOperationException|writeData: Bad file descriptor|9");
    auto updating = FileHandle::fileHandleForUpdatingURL(file);
    updating->seekToFileOffset(6);
    updating->writeData(bytesOf("W"));
    updating->seekToFileOffset(0);
    EXPECT_EQ(text(*updating->readDataOfLength(100)), "Jello World");

    const URL missing = URL::fileURLWithPath(path("missing"));
    for (auto open : {&FileHandle::fileHandleForReadingFromURL, &FileHandle::fileHandleForWritingToURL,
                      &FileHandle::fileHandleForUpdatingURL}) {
        platform::Error error;
        EXPECT_EQ(open(missing, &error), nullptr);
        EXPECT_EQ(error.code, 260);
    }
    EXPECT_FALSE(std::filesystem::exists(missing.path()));
}

TEST_F(FileHandleTest, PositionsReadsAndTruncation) {
    auto handle = FileHandle::fileHandleForUpdatingURL(fileURL("0123456789"));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->seekToEndOfFile(), 10u);
    handle->seekToFileOffset(7);
    EXPECT_EQ(text(*handle->readDataOfLength(10)), "789");  // fewer at the end
    EXPECT_EQ(handle->offsetInFile(), 10u);
    handle->seekToFileOffset(50);
    EXPECT_EQ(handle->readDataOfLength(10)->size(), 0u);  // none beyond it
    handle->seekToFileOffset(2);
    // A length far beyond the file costs nothing by itself.
    EXPECT_EQ(text(*handle->readDataOfLength(std::numeric_limits<std::size_t>::max())), "23456789");

    handle->truncateFileAtOffset(4);
    EXPECT_EQ(handle->offsetInFile(), 4u);
    handle->truncateFileAtOffset(6);
    handle->seekToFileOffset(0);
    EXPECT_EQ(text(handle->readDataToEndOfFile()), std::string("0123\0\0", 6));

    // More than one growth of the read buffer.
    std::string big(300 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 % 251);
    handle = FileHandle::fileHandleForReadingFromURL(fileURL(big));
    EXPECT_EQ(text(*handle->readDataOfLength(200 * 1024)), big.substr(0, 200 * 1024));
    EXPECT_EQ(text(handle->readDataToEndOfFile()), big.substr(200 * 1024));
}

TEST_F(FileHandleTest, FailedSystemCallsRaiseWithTheirError) {
    auto handle = FileHandle::fileHandleForUpdatingURL(fileURL("abc"));
    ASSERT_NE(handle, nullptr);
    const std::uint64_t beyond = std::uint64_t{1} << 63;
    EXPECT_EQ(raised([&] { handle->seekToFileOffset(beyond); }),
              "NSFileHandleOperationException|seekToFileOffset: Invalid argument|22");
    EXPECT_EQ(raised([&] { handle->truncateFileAtOffset(beyond); }),
              "NSFileHandleOperationException|truncateFileAtOffset: Invalid argument|22");

    // The descriptor closed behind the handle's back.
    ASSERT_EQ(::close(handle->fileDescriptor()), 0);
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"offsetInFile", [&] { handle->offsetInFile(); }},
        {"readDataOfLength", [&] { handle->readDataToEndOfFile(); }},
        {"closeFile", [&] { handle->closeFile(); }},
    };
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(raised(call), std::string("NSFileHandleOperationException|") + name + ": Bad file descriptor|9");
    }
    EXPECT_EQ(handle->fileDescriptor(), -1);  // closed all the same
    EXPECT_EQ(raised([&] { handle->closeFile(); }), "");
}

TEST_F(FileHandleTest, AdoptedDescriptorsAreClosedOnlyWhenAsked) {
    writeFile("data", "abc");
    const int kept = ::open(path("data").c_str(), O_RDONLY);
    const int owned = ::open(path("data").c_str(), O_RDONLY);
    {
        FileHandle borrowing(kept, false);
        FileHandle owning(owned, true);
        EXPECT_EQ(text(*borrowing.readDataOfLength(2)), "ab");
    }
    EXPECT_TRUE(isOpen(kept));
    EXPECT_FALSE(isOpen(owned));
    FileHandle(kept, false).closeFile();  // closeFile closes whoever owns the descriptor
    EXPECT_FALSE(isOpen(kept));
}

}  // namespace
