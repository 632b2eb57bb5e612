#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "Platform/Task.h"

namespace {

using namespace std::chrono_literals;

// Whether the process ends (or is a zombie, which has ended) within two seconds.
bool endsSoon(int pid) {
    for (int tries = 0; tries < 200; ++tries, std::this_thread::sleep_for(10ms)) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.at(line.rfind(')') + 2) == 'Z') {
            return true;
        }
    }
    return false;
}

TEST(TaskProcessGroup, GivingUpOnAChildEndsEveryProcessItStarted) {
    // Each prints the pid of a background process, then waits for it: a process that outlives
    // SIGTERM, and a shell that outlives it but ends with the process it waits for.
    for (const char* shellLine : {"(trap '' TERM; exec sleep 30) & echo $!; wait",
                                  "trap '' TERM; (trap - TERM; exec sleep 30) & echo $!; wait"}) {
        platform::Task task("/bin/sh", {"-c", shellLine});
        ASSERT_EQ(task.launch(), std::nullopt);
        // The background process keeps the output open: reading stops at the timeout.
        const int background = std::stoi(task.readStandardOutputToEnd(500ms));
        task.terminate();
        ASSERT_TRUE(task.waitUntilExit(2s)) << shellLine;
        EXPECT_TRUE(endsSoon(background)) << shellLine;
    }
}

}  // namespace
