#include "Platform/ConfinedRoot.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <utility>

#include "Platform/FileManager.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/TemporaryRoot.h"
#include "TestSupport/TreeSnapshot.h"

namespace {

namespace fs = std::filesystem;
using platform::ConfinedRoot;
using platform::Error;
using Resolution = ConfinedRoot::Resolution;
using kvltest::snapshotOf;

class ConfinedRootTest : public kvltest::TemporaryRootTest, public ::testing::WithParamInterface<Resolution> {
protected:
    ConfinedRootTest() {
        writeFile("outside/secret", "secret");
        writeFile("outside/dir/file", "kept");
        writeFile("root/src/file", "new");
        fs::create_directory(path("root/src/folder"));
        writeFile("root/src/folder/inner", "inner");
        ::chmod((path("root/src/file")).c_str(), 0751);
    }
    std::shared_ptr<const ConfinedRoot> open() const { return ConfinedRoot::open(path("root"), nullptr, GetParam()); }
};

using R = const ConfinedRoot&;
using S = const std::string&;
const platform::FileAttributeChanges kChanges{0777, 1, std::nullopt, 1, std::nullopt};

// Each acts through the link "l" (refused when it leads out) or on the link itself.
const struct Operation {
    const char* name;
    bool refusedWhenLinkLeadsOut;
    std::function<bool(R, S, Error*)> run;
} kOperations[] = {
    {"create folder", true, [](R r, S l, Error* e) { return r.createDirectory(l + "/new/deeper", true, {}, e); }},
    {"write", true, [](R r, S l, Error* e) { return r.writeFile(l + "/w", "x", 0644, e); }},
    {"copy into", true, [](R r, S l, Error* e) { return r.copyItem("src", l + "/copy", false, e); }},
    {"copy from", true, [](R r, S l, Error* e) { return r.copyItem(l + "/dir", "copy", false, e); }},
    {"copy the link", true, [](R r, S l, Error* e) { return r.copyItem(l, "copy", false, e); }},
    {"rename into", true, [](R r, S l, Error* e) { return r.moveItem("src/file", l + "/moved", e); }},
    {"remove", true, [](R r, S l, Error* e) { return r.removeItem(l + "/dir", e); }},
    {"remove the link", false, [](R r, S l, Error* e) { return r.removeItem(l, e); }},
    {"set attributes", true, [](R r, S l, Error* e) { return r.setAttributes(kChanges, l + "/dir", e); }},
    {"set attributes of the link", false, [](R r, S l, Error* e) { return r.setAttributes(kChanges, l, e); }},
};

TEST_P(ConfinedRootTest, NothingOutsideChangesWhateverLinkIsPlanted) {
    const struct Link {
        const char* name;
        std::string target;
        bool leadsOut;
    } links[] = {{"absolute", path("outside"), true},
                 {"climbing", "../outside", true},
                 {"file", path("outside/secret"), true},
                 {"inside", "src", false}};
    // The same item inside the root as "dir" in the outside folder, for the link inside.
    fs::create_directory(path("root/src/dir"));
    for (const Link& link : links) {
        for (const Operation& operation : kOperations) {
            SCOPED_TRACE(std::string(link.name) + " link, " + operation.name);
            fs::remove_all(path("root/copy"));
            fs::create_directory_symlink(link.target, path("root/l"));
            const auto before = snapshotOf(path("outside"));
            Error error;
            const bool done = operation.run(*open(), "l", &error);
            if (link.leadsOut && operation.refusedWhenLinkLeadsOut) {
                EXPECT_FALSE(done);
                EXPECT_TRUE(ConfinedRoot::leadsOutside(error)) << error.description();
                EXPECT_NE(error.localizedDescription.find(path("root")), std::string::npos) << error.description();
            } else {
                EXPECT_TRUE(done) << error.description();
            }
            EXPECT_EQ(snapshotOf(path("outside")), before);
            fs::remove(path("root/l"));
            fs::create_directories(path("root/src/dir"));
            if (!fs::exists(path("root/src/file")))
                writeFile("root/src/file", "new");
        }
    }
}

TEST_P(ConfinedRootTest, CopiesFoldersWholeWithPermissionsAndReplacesAtomically) {
    const auto root = open();
    fs::create_directory_symlink("../file", path("root/src/folder/up"));  // stays inside: copied
    Error error;
    ASSERT_TRUE(root->copyItem(path("root/src"), "dst/../copy", false, &error)) << error.description();
    EXPECT_EQ(readFile(path("root/copy/folder/inner")), "inner");
    EXPECT_EQ(fs::read_symlink(path("root/copy/folder/up")), "../file");
    EXPECT_EQ(fs::status(path("root/copy/file")).permissions(), fs::perms(0751));
    EXPECT_FALSE(root->copyItem("src", "copy", false, &error));
    EXPECT_EQ(error.code, 516);
    fs::create_directory_symlink(".", path("root/here"));  // "here/up" is at the root: "../file" leads out
    EXPECT_FALSE(root->copyItem("src/folder/up", "here/up", false, &error));
    EXPECT_TRUE(ConfinedRoot::leadsOutside(error)) << error.description();
    fs::remove(path("root/here"));

    writeFile("root/copy/folder/inner", "old");
    fs::create_directory_symlink(path("outside"), path("root/src/out"));
    EXPECT_FALSE(root->copyItem("src", "copy", true, &error));
    EXPECT_EQ(error.localizedDescription, "“" + (path("root/src/out")) +
                                              "” is a symbolic link that leads outside the root “" + (path("root")) +
                                              "” and was not copied.");
    EXPECT_EQ(readFile(path("root/copy/folder/inner")), "old");
    fs::remove(path("root/src/out"));
    ASSERT_TRUE(root->copyItem("src", "copy", true, &error)) << error.description();
    EXPECT_EQ(readFile(path("root/copy/folder/inner")), "inner");
    const std::vector<std::string> noTemporaries{"copy", "src"};
    EXPECT_EQ(platform::FileManager::contentsOfDirectoryAtPath(path("root")), noTemporaries);
}

TEST_P(ConfinedRootTest, RefusesPathsOutsideAndRootsThatCannotBeOpened) {
    Error error;
    const std::string outside[] = {"../x", path("root2/x"), "/", path("root/a/../../x")};
    for (const std::string& refused : outside) {
        EXPECT_FALSE(open()->writeFile(refused, "x", 0644, &error)) << refused;
        EXPECT_EQ(error.localizedDescription, "“" + refused + "” lies outside the root “" + path("root") + "”.");
    }
    fs::create_symlink("loop", path("loop"));
    std::string tooLong = root();
    while (tooLong.size() <= PATH_MAX)
        tooLong += "/" + std::string(200, 'a');
    const std::pair<std::string, int> cases[] = {
        {path("missing"), ENOENT}, {path("root/src/file"), ENOTDIR}, {path("loop"), ELOOP}, {tooLong, ENAMETOOLONG}};
    for (const auto& [unusable, posixError] : cases) {
        EXPECT_EQ(ConfinedRoot::open(unusable, &error, GetParam()), nullptr);
        ASSERT_TRUE(error.underlyingError);
        EXPECT_EQ(error.underlyingError->code, posixError) << unusable;
        EXPECT_TRUE(error.localizedDescription.starts_with("The root “")) << error.localizedDescription;
    }
    ::chmod(root().c_str(), 0755);
    ::chmod(path("root").c_str(), 0744);  // readable, not enterable by others
    const int status = kvltest::runAsNobody([&] {
        return !ConfinedRoot::open(path("root"), &error, GetParam()) && error.underlyingError->code == EACCES ? 0 : 1;
    });
    if (status < 0)
        GTEST_SKIP() << "cannot switch to the user nobody";
    EXPECT_EQ(status, 0);
}

TEST_P(ConfinedRootTest, CopyOutOfSpaceKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string small = path("root/small");
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    }
    const std::unique_ptr<const char, void (*)(const char*)> unmount(small.c_str(),
                                                                     [](const char* p) { ::umount2(p, MNT_DETACH); });
    writeFile("root/small/dst", "old");
    writeFile("root/big", std::string(256 * 1024, 'b'));
    Error error;
    EXPECT_FALSE(open()->copyItem("big", "small/dst", true, &error));
    EXPECT_EQ(error.code, 640) << error.description();
    EXPECT_FALSE(platform::FileManager::copyItemAtPath(path("root/big"), small + "/new", &error));
    EXPECT_EQ(error.code, 640) << error.description();
    EXPECT_EQ(platform::FileManager::contentsOfDirectoryAtPath(small), std::vector<std::string>{"dst"});
    EXPECT_EQ(readFile(small + "/dst"), "old");
}

INSTANTIATE_TEST_SUITE_P(BothResolutions, ConfinedRootTest,
                         ::testing::Values(Resolution::Automatic, Resolution::ComponentWalk),
                         [](const auto& info) { return info.param == Resolution::Automatic ? "Openat2" : "Walk"; });

}  // namespace
