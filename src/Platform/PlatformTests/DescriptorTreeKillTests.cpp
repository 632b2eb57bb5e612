#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "Platform/DescriptorTree.h"
#include "TestSupport/TemporaryRoot.h"

namespace {

namespace fs = std::filesystem;

using DescriptorTreeKillTest = kvltest::TemporaryRootTest;

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename());
    }
    return names;
}

// A writer killed at any moment leaves the file whole, old or new; the temporary a kill
// leaves is removed by the next replacement (so at most one is ever there) and by the
// removal of the file.
TEST_F(DescriptorTreeKillTest, StressAWriterKilledAnywhereLeavesTheFileWholeAndNoTemporaryForLong) {
    const std::string folder = path("jobs");
    fs::create_directory(folder);
    const std::string file = folder + "/jobs.plist";
    const std::string small(4096, 's'), large(1 << 20, 'L');
    ASSERT_EQ(platform::DescriptorTree::writeFileAtPath(file, small, 0644), 0);
    std::mt19937 random(12345);
    int killsLeavingATemporary = 0;
    for (int round = 0; round < 200; ++round) {
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (bool big = true;; big = !big) {
                platform::DescriptorTree::writeFileAtPath(file, big ? large : small, 0644);
            }
        }
        ::usleep(random() % 3000);
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        const std::string contents = readFile(file);
        ASSERT_TRUE(contents == small || contents == large) << "round " << round << ": " << contents.size();
        const std::size_t entries = namesIn(folder).size();
        ASSERT_LE(entries, 2u) << "round " << round;
        killsLeavingATemporary += entries == 2 ? 1 : 0;
    }
    EXPECT_GT(killsLeavingATemporary, 0);  // some kills did land between creation and rename
    const int folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_EQ(platform::DescriptorTree::removeItem(folderDescriptor, "jobs.plist"), 0);
    ::close(folderDescriptor);
    EXPECT_EQ(namesIn(folder), std::set<std::string>());
}

}  // namespace
