#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "Platform/Task.h"

namespace {

using namespace std::chrono_literals;
using platform::Task;

// Whether the process exists and has not ended (a zombie has ended).
bool isAlive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) {
        return false;
    }
    return line.at(line.rfind(')') + 2) != 'Z';
}

bool endsWithin(int pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (isAlive(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    return !isAlive(pid);
}

TEST(TaskProcessGroup, GivingUpOnAChildEndsEveryProcessItStarted) {
    // Each prints the pid of a background process, then waits for it: a process that outlives
    // SIGTERM, and a shell that outlives it but ends with the process it waits for.
    for (const char* shellLine : {"(trap '' TERM; exec sleep 30) & echo $!; wait",
                                  "trap '' TERM; (trap - TERM; exec sleep 30) & echo $!; wait"}) {
        Task task("/bin/sh", {"-c", shellLine});
        ASSERT_EQ(task.launch(), std::nullopt);
        // The background process keeps the output open: reading stops at the timeout.
        const int background = std::stoi(task.readStandardOutputToEnd(500ms));
        ASSERT_TRUE(isAlive(background)) << shellLine;
        task.terminate();
        ASSERT_TRUE(task.waitUntilExit(2s)) << shellLine;
        EXPECT_TRUE(endsWithin(background, 2s)) << shellLine;
        if (isAlive(background)) {
            ::kill(background, SIGKILL);
        }
    }
}

}  // namespace
