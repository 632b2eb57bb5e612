#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Error.h"

namespace platform {

// How a task's child ended.
enum class TaskTerminationReason { Exit = 1, UncaughtSignal = 2 };

// A child process (the NSTask stand-in, with its standard output in a pipe the task reads).
// Standard input and standard error are inherited, unless standard error is joined to the
// output. A launch path without a slash is looked up on PATH, as a shell looks up a command.
// While the task waits for its child it also reads the child's output, so a child that writes
// more than a pipe holds is never blocked. The child leads a process group of its own.
// Terminating or killing the task signals that whole group, and once a task so signalled sees
// its child end, whatever is left of the group is killed before the child is reaped: no
// process the child started outlives a task that gave up on it. The task owns its child: a
// child not yet reaped when the task is destroyed is killed and reaped with its group, so no
// process outlives its task unnoticed.
class Task {
public:
    Task(std::string launchPath, std::vector<std::string> arguments);
    ~Task();
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;

    // Before launch: the child's standard error goes into the output pipe too.
    void joinStandardErrorToOutput();

    // Starts the child with its signal mask cleared and every signal at its default action.
    // Fails when the task was already launched or the program cannot be started.
    std::optional<Error> launch();

    // The child's process id, or -1 before launch.
    int processIdentifier() const;
    // Whether the child was launched and has not ended; reaps a child that has ended.
    bool isRunning();
    // Sends SIGTERM to a running child's process group.
    void terminate();
    // Sends SIGKILL to a running child's process group.
    void kill();

    // Blocks until the child ends or timeout passes, reading its output meanwhile; returns
    // whether it has ended. A child that has already ended returns at once; a task never
    // launched returns false at once.
    bool waitUntilExit(std::chrono::nanoseconds timeout);
    // Blocks until the child ends, reading its output meanwhile; a task never launched
    // returns at once.
    void waitUntilExit();

    // Reads the child's output until end of file or until timeout passes without it (a
    // process the child started may hold the pipe open), closes the reading end, and returns
    // everything read since launch. Later calls return an empty text.
    std::string readStandardOutputToEnd(std::chrono::nanoseconds timeout);

    // Once the child has ended: its exit status, or the number of the signal that ended it;
    // 0 before that.
    int terminationStatus() const;
    // Once the child has ended: whether it exited or an uncaught signal ended it.
    TaskTerminationReason terminationReason() const;

private:
    std::string launchPath_;
    std::vector<std::string> arguments_;
    bool standardErrorJoined_ = false;
    int pid_ = -1;
    bool reaped_ = false;
    bool groupSignalled_ = false;
    int terminationStatus_ = 0;
    TaskTerminationReason terminationReason_ = TaskTerminationReason::Exit;
    int outputDescriptor_ = -1;    // reading end of the output pipe, -1 once closed
    int childEndDescriptor_ = -1;  // readable once the child has ended, -1 where there is none
    std::string output_;

    void signalGroup(int signal);
    bool reapIfEnded(bool block);
    void readAvailableOutput();
    void closeOutput();
};

}  // namespace platform
