#include "Platform/FileManager.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "Platform/PropertyListSerialization.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

using platform::Error;
using platform::FileAttributeChanges;
using platform::FileManager;
using platform::FileOperation;
using platform::URL;
using Names = std::vector<std::string>;

class FileManagerTest : public kvltest::TemporaryRootTest {
protected:
    static mode_t modeOf(const std::string& path) {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return info.st_mode & 07777;
    }
};

TEST(FileManagerErrors, CodesAndWordingFollowTheOperationAndItsSide) {
    struct Case {
        FileOperation operation;
        int posixError;
        std::int64_t code;
        const char* text;
    };
    const Case cases[] = {
        {FileOperation::Copy, EEXIST, 516,
         "“x” couldn’t be copied to “dir” because an item with the same name already exists."},
        {FileOperation::Copy, ENOENT, 4,
         "“x” couldn’t be copied to “dir” because either the former doesn’t exist, or the folder containing the latter "
         "doesn’t exist."},
        {FileOperation::Copy, EPERM, 513, "“x” couldn’t be copied because you don’t have permission to access “dir”."},
        {FileOperation::Copy, ENOSPC, 640, "“x” couldn’t be copied to “dir” because there isn’t enough space."},
        {FileOperation::Copy, EIO, 512, "“x” couldn’t be copied to “dir”."},
        {FileOperation::Move, EROFS, 642, "“x” couldn’t be moved to “dir” because the volume is read only."},
        {FileOperation::Remove, ENOENT, 4, "“x” couldn’t be removed."},
        {FileOperation::Remove, EACCES, 513, "“x” couldn’t be removed because you don’t have permission to access it."},
        {FileOperation::Create, ENOENT, 4, "The folder “src” doesn’t exist."},
        {FileOperation::Create, EACCES, 513, "You don’t have permission to save the file “x” in the folder “src”."},
        {FileOperation::Create, EEXIST, 516,
         "The file “x” couldn’t be saved in the folder “src” because a file with the same name already exists."},
        {FileOperation::Create, ENOSPC, 640, "The file “x” couldn’t be saved because there isn’t enough space."},
        {FileOperation::Create, EDQUOT, 640, "The file “x” couldn’t be saved because there isn’t enough space."},
        {FileOperation::Create, EFBIG, 512, "The file “x” couldn’t be saved in the folder “src”."},
        {FileOperation::Create, EROFS, 642, "The file “x” couldn’t be saved because the volume is read only."},
        {FileOperation::Read, ENOENT, 260, "The file “x” couldn’t be opened because there is no such file."},
        {FileOperation::Read, EACCES, 257,
         "The file “x” couldn’t be opened because you don’t have permission to view it."},
    };
    for (const Case& c : cases) {
        const Error error = FileManager::errorFor(c.operation, c.posixError, "/a/src/x", "/b/dir/y");
        EXPECT_EQ(error.domain + " " + std::to_string(error.code) + " " + error.localizedDescription,
                  "NSCocoaErrorDomain " + std::to_string(c.code) + " " + c.text);
        ASSERT_NE(error.underlyingError, nullptr);
        EXPECT_EQ(error.underlyingError->domain + " " + std::to_string(error.underlyingError->code),
                  "NSPOSIXErrorDomain " + std::to_string(c.posixError));
    }
}

TEST_F(FileManagerTest, CopyAndMoveRefuseAnExistingItemAndTakeFoldersWhole) {
    writeFile("src/x", "new");
    writeFile("dir/x", "old");
    Error error;
    const auto code = [&](bool done) { return done ? 0 : error.code; };
    EXPECT_EQ(code(FileManager::copyItemAtPath(path("src/x"), path("dir/x"), &error)), 516);
    EXPECT_EQ(code(FileManager::moveItemAtPath(path("src/x"), path("dir/x"), &error)), 516);
    EXPECT_EQ(code(FileManager::copyItemAtPath(path("src/missing"), path("dir/y"), &error)), 260);
    EXPECT_EQ(code(FileManager::moveItemAtPath(path("src/x"), path("nowhere/x"), &error)), 4);
    EXPECT_NE(error.localizedDescription.find("to “nowhere”"), std::string::npos) << error.localizedDescription;
    EXPECT_EQ(readFile("dir/x"), "old");

    writeFile("src/sub/.hidden", "h");
    ::chmod(path("src/x").c_str(), 0640);
    ASSERT_TRUE(FileManager::copyItemAtPath(path("src"), path("dir/copy"), &error)) << error.description();
    EXPECT_EQ(readFile("dir/copy/x"), "new");
    EXPECT_EQ(readFile("dir/copy/sub/.hidden"), "h");
    EXPECT_EQ(modeOf(path("dir/copy/x")), 0640u);
    ASSERT_TRUE(FileManager::moveItemAtPath(path("src"), path("dir/moved")));
    EXPECT_EQ(readFile("dir/moved/sub/.hidden"), "h");
    EXPECT_FALSE(FileManager::fileExistsAtPath(path("src")));
}

TEST_F(FileManagerTest, RemoveTakesFoldersWholeWithoutFollowingLinks) {
    writeFile("gone/a/b/c", "x");
    ::symlink(path("keep").c_str(), path("gone/link").c_str());
    writeFile("keep/f", "kept");
    EXPECT_TRUE(FileManager::removeItemAtPath(path("gone")));
    EXPECT_FALSE(FileManager::fileExistsAtPath(path("gone")));
    EXPECT_EQ(readFile("keep/f"), "kept");
    Error error;
    EXPECT_FALSE(FileManager::removeItemAtPath(path("gone"), &error));
    EXPECT_EQ(error.code, 4);
}

TEST_F(FileManagerTest, CreateDirectoriesAndFiles) {
    Error error;
    EXPECT_FALSE(FileManager::createDirectoryAtPath(path("a/b"), false, {}, &error));
    EXPECT_EQ(error.code, 4);
    FileAttributeChanges privateItem;
    privateItem.posixPermissions = 0700;
    ASSERT_TRUE(FileManager::createDirectoryAtPath(path("a//b/c/"), true, privateItem, &error));
    bool isDirectory = false;
    EXPECT_TRUE(FileManager::fileExistsAtPath(path("a/b/c"), &isDirectory) && isDirectory);
    EXPECT_EQ(modeOf(path("a")), 0700u);
    EXPECT_TRUE(FileManager::createDirectoryAtPath(path("a/b"), true));
    writeFile("file", "x");
    for (const auto& [existing, intermediate] : {std::pair{"a/b", false}, std::pair{"file", true}}) {
        EXPECT_FALSE(FileManager::createDirectoryAtPath(path(existing), intermediate, {}, &error));
        EXPECT_EQ(error.code, 516) << existing;
    }

    privateItem.posixPermissions = 0604;
    ASSERT_TRUE(FileManager::createFileAtPath(path("f.txt"), std::string("a\0b", 3), privateItem));
    EXPECT_EQ(FileManager::contentsAtPath(path("f.txt")), std::string("a\0b", 3));
    EXPECT_EQ(modeOf(path("f.txt")), 0604u);
    ASSERT_TRUE(FileManager::createFileAtPath(path("f.txt"), ""));
    EXPECT_EQ(FileManager::contentsAtPath(root()), std::nullopt);
    EXPECT_FALSE(FileManager::createFileAtPath(path("no/such/folder/f"), "x"));
    ::symlink(path("missing").c_str(), path("dangling").c_str());
    EXPECT_FALSE(FileManager::fileExistsAtPath(path("dangling")));
}

TEST_F(FileManagerTest, ListingsSkipHiddenNamesAndWhatHiddenFoldersHold) {
    writeFile("top/a", "");
    writeFile("top/.hidden", "");
    writeFile("top/sub/b", "");
    writeFile("top/sub/.dot/c", "");
    writeFile("top/.secret/d", "");
    EXPECT_EQ(FileManager::contentsOfDirectoryAtPath(path("top")), (Names{".hidden", ".secret", "a", "sub"}));
    EXPECT_EQ(FileManager::contentsOfDirectoryAtPath(path("top"), platform::DirectoryEnumerationSkipsHiddenFiles),
              (Names{"a", "sub"}));
    EXPECT_EQ(FileManager::subpathsOfDirectoryAtPath(path("top"), platform::DirectoryEnumerationSkipsHiddenFiles),
              (Names{"a", "sub", "sub/b"}));
    EXPECT_EQ(FileManager::subpathsOfDirectoryAtPath(path("top")),
              (Names{".hidden", ".secret", ".secret/d", "a", "sub", "sub/.dot", "sub/.dot/c", "sub/b"}));

    EXPECT_EQ(
        FileManager::contentsOfDirectoryAtURL(URL::fileURLWithPath(path("top")),
                                              platform::DirectoryEnumerationSkipsHiddenFiles),
        (std::vector<URL>{URL::fileURLWithPath(path("top/a"), false), URL::fileURLWithPath(path("top/sub"), true)}));

    Error error;
    for (const auto& [listed, code] : {std::pair{"top/a", 256}, std::pair{"none", 260}}) {
        EXPECT_EQ(FileManager::contentsOfDirectoryAtPath(path(listed), 0, &error), std::nullopt);
        EXPECT_EQ(error.code, code) << listed;
    }
    EXPECT_TRUE(FileManager::subpathsOfDirectoryAtPath(path("none")).empty());
}

TEST_F(FileManagerTest, AttributesReadAndChange) {
    writeFile("f", "12345");
    Error error;
    auto attributes = FileManager::attributesOfItemAtPath(path("f"), &error);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(std::tuple(attributes->size, attributes->type, attributes->ownerAccountID),
              std::tuple(5u, platform::FileType::Regular, ::geteuid()));
    EXPECT_EQ(FileManager::attributesOfItemAtPath(root())->type, platform::FileType::Directory);

    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "changing an owner needs root and the user nobody";
    }
    FileAttributeChanges changes;
    changes.posixPermissions = 04640;
    changes.ownerAccountName = "nobody";
    changes.groupOwnerAccountID = nobody->pw_gid;
    ASSERT_TRUE(FileManager::setAttributes(changes, path("f"), &error)) << error.description();
    attributes = FileManager::attributesOfItemAtPath(path("f"));
    const group* nobodyGroup = ::getgrgid(nobody->pw_gid);
    ASSERT_NE(nobodyGroup, nullptr);
    EXPECT_EQ(
        std::tuple(attributes->posixPermissions, attributes->ownerAccountID, attributes->ownerAccountName,
                   attributes->groupOwnerAccountID, attributes->groupOwnerAccountName),
        std::tuple(04640u, nobody->pw_uid, std::string("nobody"), nobody->pw_gid, std::string(nobodyGroup->gr_name)));

    FileAttributeChanges unknown;
    unknown.ownerAccountName = "no-such-user-kvl";
    EXPECT_FALSE(FileManager::setAttributes(unknown, path("f"), &error));
    EXPECT_EQ(error.code, 512);
    EXPECT_FALSE(FileManager::setAttributes(changes, path("missing"), &error));
    EXPECT_EQ(error.code, 4);
    EXPECT_FALSE(FileManager::attributesOfItemAtPath(path("missing"), &error));
    EXPECT_EQ(error.code, 260);
}

TEST_F(FileManagerTest, PathOfAnOpenDescriptor) {
    EXPECT_EQ(FileManager::pathOfDescriptor(-1), std::nullopt);
    writeFile("d/a.log", "x");
    const int file = ::open(path("d/a.log").c_str(), O_RDONLY);
    const int folder = ::open(path("d").c_str(), O_RDONLY | O_DIRECTORY);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    EXPECT_EQ(FileManager::pathOfDescriptor(file), path("d/a.log"));
    EXPECT_EQ(FileManager::pathOfDescriptor(folder), path("d"));
    EXPECT_EQ(FileManager::pathOfDescriptor(pipeEnds[0]), std::nullopt);
    ::unlink(path("d/a.log").c_str());
    EXPECT_EQ(FileManager::pathOfDescriptor(file), path("d/a.log"));
    for (int descriptor : {file, folder, pipeEnds[0], pipeEnds[1]})
        ::close(descriptor);
}

// New files get the mode any new file would: 0666 less the umask.
TEST_F(FileManagerTest, NewFilesTakeTheUmask) {
    const mode_t previous = ::umask(027);
    EXPECT_TRUE(platform::PropertyListSerialization::writeToFile(platform::PlistValue("x"), path("a.plist")));
    EXPECT_TRUE(FileManager::createFileAtPath(path("b"), "x"));
    ::umask(previous);
    EXPECT_EQ(std::pair(modeOf(path("a.plist")), modeOf(path("b"))), std::pair(0640u, 0640u));
}

}  // namespace
