#include "Platform/RegularFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::Error;
using platform::RegularFile;

using RegularFileTest = kvltest::TemporaryRootTest;

TEST_F(RegularFileTest, RefusesWhatIsNotAPlainFileOfBoundedSizeAtOnce) {
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
