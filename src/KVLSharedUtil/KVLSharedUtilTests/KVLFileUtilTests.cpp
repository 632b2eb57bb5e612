#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "KVLSharedUtil/KVLFileUtil.h"
#include "KVLSharedUtil/NSDate+KVLExtensions.h"
#include "LoggedServicesTest.h"
#include "Platform/Clock.h"
#include "Platform/FileHandle.h"
#include "Platform/FileManager.h"
#include "Platform/TimeZone.h"

namespace {

using platform::URL;

std::vector<std::string> names(const std::vector<URL>& urls, const std::string& root) {
    std::vector<std::string> result;
    for (const URL& url : urls) {
        result.push_back(url.path().substr(root.size() + 1));
    }
    std::sort(result.begin(), result.end());
    return result;
}

class KVLFileUtilTest : public kvltest::LoggedServicesTest {
protected:
    void TearDown() override { platform::Clock::setNowForTesting(nullptr); }
};

TEST_F(KVLFileUtilTest, BuildsFileURLsFromPartsPathsAndDescriptors) {
    EXPECT_EQ(KVLFileUtil::fileURLFromPath("/tmp", std::nullopt, "a.log").absoluteString(), "file:///tmp/a.log");
    EXPECT_EQ(KVLFileUtil::fileURLFromPath("/tmp", "x_", "a.log").absoluteString(), "file:///tmp/x_a.log");
    EXPECT_EQ(KVLFileUtil::fileURLFromPath(std::optional<std::string>()), std::nullopt);
    EXPECT_EQ(KVLFileUtil::fileURLFromCStringFilePath(nullptr), std::nullopt);
    EXPECT_EQ(KVLFileUtil::fileURLFromCStringFilePath("/tmp/\xff\xfe"), std::nullopt);

    writeFile("data/a.log", "x");
    const int file = ::open(path("data/a.log").c_str(), O_RDONLY);
    const int folder = ::open(path("data").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(file, 0);
    ASSERT_GE(folder, 0);
    EXPECT_EQ(KVLFileUtil::fileURLFromFD(file)->path(), path("data/a.log"));
    // Relative to a folder: inside it; relative to a file: beside it.
    EXPECT_EQ(KVLFileUtil::fileURLFromCStringFilePathRelativeToFD("b.txt", folder)->path(), path("data/b.txt"));
    EXPECT_EQ(KVLFileUtil::fileURLFromCStringFilePathRelativeToFD("b.txt", file)->path(), path("data/b.txt"));
    EXPECT_EQ(KVLFileUtil::fileURLFromCStringFilePathRelativeToFD(nullptr, folder), std::nullopt);
    ::close(file);
    ::close(folder);
}

TEST_F(KVLFileUtilTest, ExistenceTellsFilesAndFoldersApart) {
    writeFile("dir/file", "");
    const URL file = URL::fileURLWithPath(path("dir/file"));
    const URL folder = URL::fileURLWithPath(path("dir"));
    EXPECT_TRUE(KVLFileUtil::isFileExist(file));
    EXPECT_FALSE(KVLFileUtil::isFileExist(folder));
    EXPECT_FALSE(KVLFileUtil::isFileExist(std::nullopt));
    EXPECT_TRUE(KVLFileUtil::isDirectory(folder));
    EXPECT_FALSE(KVLFileUtil::isDirectory(file));
    EXPECT_TRUE(KVLFileUtil::isFileExistAtPath(path("dir/file").c_str()));
    EXPECT_FALSE(KVLFileUtil::isFileExistAtPath(nullptr));
    EXPECT_TRUE(KVLFileUtil::isDirectoryAtPath(path("dir").c_str()));
    EXPECT_FALSE(KVLFileUtil::isDirectoryAtPath(nullptr));
    EXPECT_EQ(KVLFileUtil::contentsOfFileAtPath(file), "");
    EXPECT_EQ(KVLFileUtil::contentsOfFileAtPath(folder), std::nullopt);
}

TEST_F(KVLFileUtilTest, SizeFromAHandleKeepsItsPosition) {
    writeFile("seven", "1234567");
    const auto handle = platform::FileHandle::fileHandleForReadingFromURL(URL::fileURLWithPath(path("seven")));
    ASSERT_NE(handle, nullptr);
    handle->seekToFileOffset(3);
    EXPECT_EQ(KVLFileUtil::getFileSizeFromHandle(*handle), 7u);
    EXPECT_EQ(handle->offsetInFile(), 3u);
}

TEST_F(KVLFileUtilTest, SizeOfAnItemOrAFilledAndLoggedRecord) {
    writeFile("five", "12345");
    EXPECT_EQ(KVLFileUtil::getSizeofItemAtPath(URL::fileURLWithPath(path("five")), record.get()), 5u);
    EXPECT_EQ(KVLFileUtil::getSizeofItemAtPath(URL::fileURLWithPath(path("none")), record.get()), 0u);
    expectFailure(
        260, KVLInternalErrorTypeCocoa,
        "Unable to fetch file attributes. - The file “none” couldn’t be opened because there is no such file.",
        "src/KVLSharedUtil/KVLSharedUtil/KVLFileUtil");
}

TEST_F(KVLFileUtilTest, CopyMoveAndDeleteReportTheirFailuresWithContext) {
    writeFile("src", "a");
    writeFile("dst", "b");
    const URL source = URL::fileURLWithPath(path("src"));
    const URL destination = URL::fileURLWithPath(path("dst"));
    EXPECT_FALSE(KVLFileUtil::copyFile(source, destination, record.get()));
    EXPECT_EQ(record->getErrorCode(), 516);
    const std::string copyMessage = "Failed to copy file '" + source.absoluteString() + "'";
    EXPECT_EQ(record->getDescription()->rfind(copyMessage + " - ", 0), 0u);
    EXPECT_EQ(record->getContext(),
              (platform::PlistDictionary{{"objSrcFileURL", platform::PlistValue(source.absoluteString())},
                                         {"objDestFileURL", platform::PlistValue(destination.absoluteString())}}));
    record->reset();
    EXPECT_FALSE(KVLFileUtil::moveFile(source, destination, record.get()));
    EXPECT_EQ(record->getDescription()->rfind(copyMessage + " - ", 0), 0u);
    EXPECT_TRUE(logger->lines().empty());

    record->reset();
    const URL copy = URL::fileURLWithPath(path("copy"));
    EXPECT_TRUE(KVLFileUtil::copyFile(source, copy, record.get()));
    EXPECT_TRUE(KVLFileUtil::moveFile(copy, URL::fileURLWithPath(path("moved")), record.get()));
    EXPECT_EQ(readFile("moved"), "a");

    writeFile("tree/inner/file", "x");
    EXPECT_TRUE(KVLFileUtil::deleteFileAtPath(URL::fileURLWithPath(path("tree")), record.get()));
    const URL gone = URL::fileURLWithPath(path("tree"));
    EXPECT_FALSE(KVLFileUtil::deleteFileAtPath(gone, record.get()));  // already gone
    EXPECT_EQ(record->getErrorCode(), 4);
    EXPECT_EQ(record->getDescription()->rfind("Failed to delete file '" + gone.absoluteString() + "' - ", 0), 0u);
    EXPECT_EQ(record->getContext(),
              (platform::PlistDictionary{{"objFileURL", platform::PlistValue(gone.absoluteString())}}));
}

TEST_F(KVLFileUtilTest, TemporaryNamesUseTheWeekYearAndDayOfYearStampAndTheFirstFreeCounter) {
    platform::TimeZone::setDefaultTimeZoneForTesting("UTC");
    NSDateKVLExtensions::dateFormatters().clear();  // formatters keep the zone they were made in
    // 5 February 2026 14:03:07.089 UTC
    platform::Clock::setNowForTesting([] { return platform::Date::fromTimeIntervalSince1970(1770300187.089); });
    writeFile("data/report.pdf", "");
    const URL first = KVLFileUtil::getTempFilePathForFile(URL::fileURLWithPath(path("data/report.pdf")));
    EXPECT_EQ(first.path(), path("data/report_20260236140307089_1.pdf"));
    writeFile("data/report_20260236140307089_1.pdf", "");
    // A folder of the same name does not take the name.
    ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(path("data/report_20260236140307089_2.pdf"), true));
    EXPECT_EQ(KVLFileUtil::getTempFilePathForFile(URL::fileURLWithPath(path("data/report.pdf"))).path(),
              path("data/report_20260236140307089_2.pdf"));
    EXPECT_EQ(KVLFileUtil::getTempFilePathInDirForFileURL(path("other"), URL::fileURLWithPath("/data/README")).path(),
              path("other/README_20260236140307089_1."));

    // 30 December 2025 belongs to the first week of 2026.
    platform::Clock::setNowForTesting([] { return platform::Date::fromTimeIntervalSince1970(1767085200.0); });
    EXPECT_EQ(KVLFileUtil::getTempFilePathInDir(path("x"), "p", "e").path(), path("x/p_202612364090000000_1.e"));
    platform::TimeZone::setDefaultTimeZoneForTesting(std::nullopt);
}

// Hidden entries are left out; links to folders are items, never followed.
TEST_F(KVLFileUtilTest, ListingsLeaveHiddenEntriesOutAndNeverFollowLinks) {
    writeFile("dir/a", "");
    writeFile("dir/.hidden", "");
    writeFile("dir/sub/b", "");
    writeFile("dir/.secret/c", "");
    writeFile("outside/c", "");
    ASSERT_EQ(::symlink(path("outside").c_str(), path("dir/out").c_str()), 0);
    const URL folder = URL::fileURLWithPath(path("dir"));
    const std::string base = path("dir");
    EXPECT_EQ(names(*KVLFileUtil::getFilesInDirectory(folder), base), (std::vector<std::string>{"a", "out", "sub"}));
    EXPECT_EQ(KVLFileUtil::getFilesInDirectory(URL::fileURLWithPath(path("dir/a"))), std::nullopt);
    EXPECT_EQ(names(KVLFileUtil::getFilesAndFoldersInDirectoryRecursively(folder), base),
              (std::vector<std::string>{"a", "out", "sub", "sub/b"}));
    EXPECT_EQ(names(KVLFileUtil::getFilesInDirectoryRecursively(folder), base),
              (std::vector<std::string>{"a", "out", "sub/b"}));
    EXPECT_TRUE(KVLFileUtil::getFilesInDirectoryRecursively(URL::fileURLWithPath(path("none"))).empty());
}

}  // namespace
