#include "Platform/Task.h"

#include <utility>

namespace platform {

Task::Task(std::string launchPath, std::vector<std::string> arguments)
    : launchPath_(std::move(launchPath)), arguments_(std::move(arguments)) {}

void Task::joinStandardErrorToOutput() { standardErrorJoined_ = true; }

int Task::processIdentifier() const { return pid_; }

void Task::waitUntilExit() {
    while (pid_ >= 0 && !waitUntilExit(std::chrono::hours(1))) {
    }
}

int Task::terminationStatus() const { return terminationStatus_; }

TaskTerminationReason Task::terminationReason() const { return terminationReason_; }

}  // namespace platform
