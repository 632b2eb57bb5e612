#include "KVLSharedUtil/KVLTaskUtil.h"

#include <chrono>

#include "Platform/Task.h"
#include "Platform/UTF8.h"

namespace {

using namespace std::chrono_literals;

// The wait is a budget of 5.0 s spent in steps of 0.05 s and tested before each step; in
// double arithmetic it first drops below zero after the 101st step, so a child still running
// 101 steps (5.05 s) after launch is terminated.
constexpr int stepsUntilBudgetSpent() {
    int steps = 0;
    for (double budget = 5.0; budget >= 0; budget -= 0.05) {
        ++steps;
    }
    return steps;
}
static_assert(stepsUntilBudgetSpent() == 101);
constexpr auto kWaitBudget = stepsUntilBudgetSpent() * 50ms;

// How long a terminated child has to end before it is killed.
constexpr auto kTerminationGrace = 1s;
// How long output is still read after the child's end, for a process it started that keeps
// the pipe open.
constexpr auto kOutputReadLimit = 100ms;

}  // namespace

std::int32_t KVLTaskUtil::launchCommand(const std::string& commandLine, std::string& output) {
    return launchProgram({"/bin/sh", "-c", commandLine}, output, KVLTaskStandardError::Inherited);
}

std::int32_t KVLTaskUtil::launchProgram(const std::vector<std::string>& arguments, std::string& output,
                                        KVLTaskStandardError standardError) {
    if (arguments.empty()) {
        return -1;
    }
    platform::Task task(arguments.front(), {arguments.begin() + 1, arguments.end()});
    if (standardError == KVLTaskStandardError::JoinsOutput) {
        task.joinStandardErrorToOutput();
    }
    if (task.launch().has_value()) {
        return -1;
    }
    if (!task.waitUntilExit(kWaitBudget)) {
        task.terminate();
        if (!task.waitUntilExit(kTerminationGrace)) {
            task.kill();
            task.waitUntilExit();
        }
    }
    const std::string bytes = task.readStandardOutputToEnd(kOutputReadLimit);
    if (platform::isValidUTF8(bytes)) {
        output += bytes;
    }
    return task.terminationStatus();
}
