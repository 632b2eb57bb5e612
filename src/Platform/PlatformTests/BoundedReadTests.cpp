#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "Platform/Bundle.h"
#include "Platform/PropertyListSerialization.h"
#include "Platform/RegularFile.h"
#include "Platform/StringsTable.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::Error;

enum class Hostile { FIFO, ZeroDevice, OneByteOverTheCap };

// Puts at path a FIFO, a link to /dev/zero, or valid contents followed by zeros (a sparse
// file, quickly made) up to one byte more than the cap.
void plant(Hostile kind, const std::string& path, const std::string& contents, std::uint64_t cap) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    switch (kind) {
        case Hostile::FIFO: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); break;
        case Hostile::ZeroDevice: std::filesystem::create_symlink("/dev/zero", path); break;
        case Hostile::OneByteOverTheCap:
            std::ofstream(path) << contents;
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cap + 1)), 0);
            break;
    }
}

using BoundedReads = kvltest::TemporaryRootTest;

TEST_F(BoundedReads, EveryReaderRefusesFIFOsDevicesAndFilesOverItsCapAtOnce) {
    const std::string plist = "<plist><dict><key>CFBundleIdentifier</key><string>x</string></dict></plist>";
    Error error;
    // The error code of the refusal; -1 when the file was read.
    const auto code = [&](const auto& result) -> std::int64_t { return result ? -1 : error.code; };
    using platform::Bundle;
    using platform::PropertyListSerialization;
    using platform::StringsTable;
    const struct {
        std::string file;
        std::uint64_t cap;
        std::string contents;
        std::function<std::int64_t()> read;
    } readers[] = {
        {"list.plist", PropertyListSerialization::kMaximumFileSize, plist,
         [&] { return code(PropertyListSerialization::propertyListWithContentsOfFile(path("list.plist"), &error)); }},
        {"table.strings", StringsTable::kMaximumFileSize, "\"a\" = \"b\";",
         [&] { return code(StringsTable::tableWithContentsOfFile(path("table.strings"), &error)); }},
        // A bundle keeps the reason to itself and answers 0.
        {"B.bundle/Contents/Info.plist", Bundle::kMaximumInfoSize, plist,
         [&]() -> std::int64_t { return Bundle::bundleWithPath(path("B.bundle"))->bundleIdentifier() ? -1 : 0; }},
    };
    for (const auto& reader : readers) {
        for (const Hostile kind : {Hostile::FIFO, Hostile::ZeroDevice, Hostile::OneByteOverTheCap}) {
            std::filesystem::remove(path(reader.file));
            plant(kind, path(reader.file), reader.contents, reader.cap);
            const auto started = std::chrono::steady_clock::now();
            const std::int64_t outcome = reader.read();
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << reader.file;
            const bool bundle = reader.file.starts_with("B.bundle");
            EXPECT_EQ(outcome, bundle ? 0 : kind == Hostile::OneByteOverTheCap ? 263 : 256) << reader.file;
        }
    }
}

using platform::RegularFile;

TEST_F(BoundedReads, TheRegularFileReaderRefusesWhatIsNotAPlainFileOfBoundedSizeAtOnce) {
    ASSERT_EQ(::mkfifo((path("fifo")).c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", path("zero"));
    std::filesystem::create_directory(path("folder"));
    writeFile("eleven", "eleven byte");

    const struct {
        std::string name;
        std::int64_t code;
        int posixError;
        std::string description;
    } cases[] = {
        {"fifo", 256, EINVAL, "is a FIFO, not a regular file."},
        {"zero", 256, EINVAL, "is a character device, not a regular file."},
        {"folder", 256, EISDIR, "is a folder, not a regular file."},
        {"eleven", 263, EFBIG, "“eleven” couldn’t be opened because it is too large."},
        {"missing", 260, ENOENT, "“missing” couldn’t be opened because there is no such file."},
    };
    for (const auto& test : cases) {
        Error error;
        EXPECT_EQ(RegularFile::read(path(test.name), 10, &error), std::nullopt) << test.name;
        EXPECT_EQ(error.code, test.code) << test.name;
        ASSERT_TRUE(error.underlyingError) << test.name;
        EXPECT_EQ(error.underlyingError->code, test.posixError) << test.name;
        EXPECT_TRUE(error.localizedDescription.ends_with(test.description)) << error.localizedDescription;
    }
    EXPECT_EQ(RegularFile::read(path("eleven"), 11), "eleven byte");
}

}  // namespace
