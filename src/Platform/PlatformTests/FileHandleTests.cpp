#include "Platform/FileHandle.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "TestFolder.h"

namespace {

using platform::FileHandle;
using platform::FileHandleException;
using platform::URL;

std::string text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Runs call and answers what it raised: "<name>|<reason>|<errno>", or "" when it raised nothing.
template <typename Call>
std::string raised(Call call) {
    try {
        call();
    } catch (const FileHandleException& exception) {
        return exception.name() + "|" + exception.reason() + "|" + std::to_string(exception.posixError());
    }
    return "";
}

bool isOpen(int descriptor) { return ::fcntl(descriptor, F_GETFD) != -1; }

TEST(FileHandle, OpensExistingFilesOnlyAndNeverCreatesOrTruncates) {
    platformtest::TestFolder folder;
    const std::string file = folder.write("data", "hello world");

    auto writing = FileHandle::fileHandleForWritingToURL(URL::fileURLWithPath(file));
    ASSERT_NE(writing, nullptr);
    EXPECT_EQ(writing->offsetInFile(), 0u);
    writing->writeData(bytesOf("J"));
    EXPECT_EQ(raised([&] { writing->readDataOfLength(1); }), "NSFileHandleOperationException|readDataOfLength: Bad file descriptor|9");
    writing.reset();
    EXPECT_EQ(platformtest::readFile(file), "Jello world");

    auto reading = FileHandle::fileHandleForReadingFromURL(URL::fileURLWithPath(file));
    ASSERT_NE(reading, nullptr);
    EXPECT_EQ(text(reading->readDataToEndOfFile()), "Jello world");
    EXPECT_EQ(raised([&] { reading->writeData(bytesOf("x")); }), "NSFileHandleOperationException|writeData: Bad file descriptor|9");

    auto updating = FileHandle::fileHandleForUpdatingURL(URL::fileURLWithPath(file));
    ASSERT_NE(updating, nullptr);
    updating->seekToFileOffset(6);
    updating->writeData(bytesOf("W"));
    updating->seekToFileOffset(0);
    EXPECT_EQ(text(*updating->readDataOfLength(100)), "Jello World");

    const std::string missing = folder / "missing";
    for (auto open : {&FileHandle::fileHandleForReadingFromURL, &FileHandle::fileHandleForWritingToURL,
                      &FileHandle::fileHandleForUpdatingURL}) {
        platform::Error error;
        EXPECT_EQ(open(URL::fileURLWithPath(missing), &error), nullptr);
        EXPECT_EQ(error.domain, "NSCocoaErrorDomain");
        EXPECT_EQ(error.code, 260);
        EXPECT_EQ(error.localizedDescription, "The file “missing” couldn’t be opened because there is no such file.");
        ASSERT_NE(error.underlyingError, nullptr);
        EXPECT_EQ(error.underlyingError->code, ENOENT);
        EXPECT_EQ(open(URL::fileURLWithPath(missing), nullptr), nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(FileHandle, PositionsReadsAndTruncation) {
    platformtest::TestFolder folder;
    const std::string file = folder.write("data", "0123456789");
    auto handle = FileHandle::fileHandleForUpdatingURL(URL::fileURLWithPath(file));
    ASSERT_NE(handle, nullptr);

    EXPECT_EQ(handle->seekToEndOfFile(), 10u);
    EXPECT_EQ(handle->offsetInFile(), 10u);
    handle->seekToFileOffset(7);
    EXPECT_EQ(text(*handle->readDataOfLength(10)), "789");  // fewer at the end
    EXPECT_EQ(handle->offsetInFile(), 10u);
    handle->seekToFileOffset(50);
    EXPECT_EQ(handle->readDataOfLength(10)->size(), 0u);  // none beyond it
    handle->seekToFileOffset(2);
    EXPECT_EQ(text(*handle->readDataOfLength(0)), "");
    // A length far beyond the file costs nothing by itself.
    EXPECT_EQ(text(*handle->readDataOfLength(std::numeric_limits<std::size_t>::max())), "23456789");

    handle->truncateFileAtOffset(4);
    EXPECT_EQ(handle->offsetInFile(), 4u);
    handle->truncateFileAtOffset(6);
    EXPECT_EQ(handle->offsetInFile(), 6u);
    handle->seekToFileOffset(0);
    EXPECT_EQ(text(handle->readDataToEndOfFile()), std::string("0123\0\0", 6));
    handle->synchronizeFile();
}

TEST(FileHandle, ReadsMoreThanOneBufferGrowth) {
    platformtest::TestFolder folder;
    std::string contents(300 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < contents.size(); ++i) {
        contents[i] = static_cast<char>(i * 31 % 251);
    }
    const std::string file = folder.write("big", contents);
    auto handle = FileHandle::fileHandleForReadingFromURL(URL::fileURLWithPath(file));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(text(*handle->readDataOfLength(200 * 1024)), contents.substr(0, 200 * 1024));
    EXPECT_EQ(text(handle->readDataToEndOfFile()), contents.substr(200 * 1024));
}

TEST(FileHandle, FailedSystemCallsRaiseWithTheirError) {
    platformtest::TestFolder folder;
    const std::string file = folder.write("data", "abc");
    auto handle = FileHandle::fileHandleForUpdatingURL(URL::fileURLWithPath(file));
    ASSERT_NE(handle, nullptr);

    const std::uint64_t beyond = std::uint64_t{1} << 63;
    EXPECT_EQ(raised([&] { handle->seekToFileOffset(beyond); }),
              "NSFileHandleOperationException|seekToFileOffset: Invalid argument|22");
    EXPECT_EQ(raised([&] { handle->truncateFileAtOffset(beyond); }),
              "NSFileHandleOperationException|truncateFileAtOffset: Invalid argument|22");
    EXPECT_EQ(handle->offsetInFile(), 0u);

    // The descriptor closed behind the handle's back.
    ASSERT_EQ(::close(handle->fileDescriptor()), 0);
    EXPECT_EQ(raised([&] { handle->offsetInFile(); }), "NSFileHandleOperationException|offsetInFile: Bad file descriptor|9");
    EXPECT_EQ(raised([&] { handle->seekToEndOfFile(); }), "NSFileHandleOperationException|seekToEndOfFile: Bad file descriptor|9");
    EXPECT_EQ(raised([&] { handle->readDataOfLength(1); }), "NSFileHandleOperationException|readDataOfLength: Bad file descriptor|9");
    EXPECT_EQ(raised([&] { handle->readDataToEndOfFile(); }), "NSFileHandleOperationException|readDataOfLength: Bad file descriptor|9");
    EXPECT_EQ(raised([&] { handle->synchronizeFile(); }), "NSFileHandleOperationException|synchronizeFile: Bad file descriptor|9");
    EXPECT_EQ(raised([&] { handle->closeFile(); }), "NSFileHandleOperationException|closeFile: Bad file descriptor|9");
    EXPECT_EQ(handle->fileDescriptor(), -1);  // closed all the same
    EXPECT_EQ(raised([&] { handle->closeFile(); }), "");
    EXPECT_EQ(raised([&] { handle->writeData(bytesOf("x")); }), "NSFileHandleOperationException|writeData: Bad file descriptor|9");
}

TEST(FileHandle, AdoptedDescriptorsAreClosedOnlyWhenAsked) {
    platformtest::TestFolder folder;
    const std::string file = folder.write("data", "abc");
    const int kept = ::open(file.c_str(), O_RDONLY);
    const int owned = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(kept, 0);
    ASSERT_GE(owned, 0);
    {
        FileHandle borrowing(kept, false);
        FileHandle owning(owned, true);
        EXPECT_EQ(borrowing.fileDescriptor(), kept);
        EXPECT_EQ(text(*borrowing.readDataOfLength(2)), "ab");
    }
    EXPECT_TRUE(isOpen(kept));
    EXPECT_FALSE(isOpen(owned));
    {
        FileHandle borrowing(kept, false);
        borrowing.closeFile();  // closeFile closes whoever owns the descriptor
        EXPECT_EQ(borrowing.fileDescriptor(), -1);
    }
    EXPECT_FALSE(isOpen(kept));
}

TEST(FileHandle, WritingToAReadOnlyFileFailsToOpen) {
    platformtest::TestFolder folder;
    const std::string file = folder.write("data", "abc");
    ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const int status = platformtest::runAsNobody([&] {
        platform::Error error;
        if (FileHandle::fileHandleForReadingFromURL(URL::fileURLWithPath(file)) == nullptr) return 1;
        if (FileHandle::fileHandleForWritingToURL(URL::fileURLWithPath(file), &error) != nullptr) return 2;
        if (error.code != 257 || error.underlyingError == nullptr || error.underlyingError->code != EACCES) return 3;
        if (error.localizedDescription != "The file “data” couldn’t be opened because you don’t have permission to view it.") return 4;
        return FileHandle::fileHandleForUpdatingURL(URL::fileURLWithPath(file)) == nullptr ? 0 : 5;
    });
    if (status == -1) {
        GTEST_SKIP() << "cannot switch to the user nobody, and root ignores file permissions";
    }
    EXPECT_EQ(status, 0);
}

TEST(FileHandle, AFullDiskRaisesAndKeepsWhatWasWritten) {
    platformtest::TestFolder folder;
    const std::string file = folder.write("data", "");
    const pid_t child = ::fork();
    if (child == 0) {
        // The file-size limit stands in for a full disk: the write that crosses it is cut short
        // and the next one fails with EFBIG.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(10);
        auto handle = FileHandle::fileHandleForWritingToURL(URL::fileURLWithPath(file));
        if (handle == nullptr) ::_exit(11);
        const std::string block(8192, 'z');
        const std::string outcome = raised([&] { handle->writeData(bytesOf(block)); });
        ::_exit(outcome == "NSFileHandleOperationException|writeData: File too large|27" ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(platformtest::readFile(file), std::string(4096, 'z'));
}

}  // namespace
