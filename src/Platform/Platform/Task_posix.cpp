#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include "Platform/Task.h"
#include "Platform/TaskChildEnd.h"

extern char** environ;

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Where there is no child-end descriptor, how often a wait looks for the child's end.
constexpr std::chrono::milliseconds kChildEndPollInterval(2);

Error posixError(int code) { return Error{std::string(kPOSIXErrorDomain), code, std::strerror(code), nullptr}; }

timespec toTimespec(Clock::duration duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

// Spawn settings: standard output, and standard error when joined, to the pipe's writing end
// (dup2 clears its close-on-exec flag), a clear signal mask and default actions, whatever the
// host process set for itself, and a process group of the child's own.
class SpawnSettings {
public:
    SpawnSettings(int outputDescriptor, bool standardErrorJoined) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, outputDescriptor, STDOUT_FILENO);
        if (standardErrorJoined) {
            posix_spawn_file_actions_adddup2(&actions_, outputDescriptor, STDERR_FILENO);
        }
        posix_spawnattr_init(&attributes_);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&attributes_, &signals);
        sigfillset(&signals);
        posix_spawnattr_setsigdefault(&attributes_, &signals);
        posix_spawnattr_setpgroup(&attributes_, 0);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnSettings() {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

}  // namespace

Task::~Task() {
    if (pid_ >= 0 && !reaped_) {
        signalGroup(SIGKILL);
        reapIfEnded(true);
    }
    closeOutput();
}

std::optional<Error> Task::launch() {
    if (pid_ >= 0) {
        return posixError(EALREADY);
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return posixError(errno);
    }
    std::vector<char*> argv;
    argv.push_back(launchPath_.data());
    for (std::string& argument : arguments_) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int result = [&] {
        const SpawnSettings settings(pipeEnds[1], standardErrorJoined_);
        // posix_spawnp takes a path with a slash as it is.
        return ::posix_spawnp(&pid, launchPath_.c_str(), settings.actions(), settings.attributes(), argv.data(),
                              environ);
    }();
    ::close(pipeEnds[1]);
    if (result != 0) {
        ::close(pipeEnds[0]);
        return posixError(result);
    }
    // Only the task's end reads without blocking; the child's end stays as a pipe normally is.
    ::fcntl(pipeEnds[0], F_SETFL, ::fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
    pid_ = pid;
    outputDescriptor_ = pipeEnds[0];
    childEndDescriptor_ = detail::openChildEndDescriptor(pid);
    return std::nullopt;
}

bool Task::isRunning() { return pid_ >= 0 && !reapIfEnded(false); }

void Task::terminate() {
    if (isRunning()) {
        signalGroup(SIGTERM);
    }
}

void Task::kill() {
    if (isRunning()) {
        signalGroup(SIGKILL);
    }
}

void Task::signalGroup(int signal) {
    // The group's id is the child's pid, which stays ours until the child is reaped.
    ::kill(-pid_, signal);
    groupSignalled_ = true;
}

bool Task::waitUntilExit(std::chrono::nanoseconds timeout) {
    if (pid_ < 0) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    while (!reapIfEnded(false)) {
        const auto remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero()) {
            return false;
        }
        pollfd descriptors[2];
        nfds_t count = 0;
        if (childEndDescriptor_ >= 0) {
            descriptors[count++] = pollfd{childEndDescriptor_, POLLIN, 0};
        }
        if (outputDescriptor_ >= 0) {
            descriptors[count++] = pollfd{outputDescriptor_, POLLIN, 0};
        }
        const timespec wait = toTimespec(
            childEndDescriptor_ >= 0 ? remaining : std::min<Clock::duration>(remaining, kChildEndPollInterval));
        if (::ppoll(descriptors, count, &wait, nullptr) > 0) {
            readAvailableOutput();
        }
    }
    return true;
}

std::string Task::readStandardOutputToEnd(std::chrono::nanoseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    readAvailableOutput();
    while (outputDescriptor_ >= 0) {
        const auto remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero()) {
            closeOutput();
            break;
        }
        pollfd descriptor{outputDescriptor_, POLLIN, 0};
        const timespec wait = toTimespec(remaining);
        if (::ppoll(&descriptor, 1, &wait, nullptr) > 0) {
            readAvailableOutput();
        }
    }
    return std::exchange(output_, std::string());
}

bool Task::reapIfEnded(bool block) {
    if (pid_ < 0 || reaped_) {
        return reaped_;
    }
    siginfo_t ended{};
    int looked;
    do {
        looked = ::waitid(P_PID, static_cast<id_t>(pid_), &ended, WEXITED | WNOWAIT | (block ? 0 : WNOHANG));
    } while (looked < 0 && errno == EINTR);
    if (looked == 0 && ended.si_pid == 0) {
        return false;
    }
    if (looked == 0 && groupSignalled_) {
        // Given up on: what the child started ends with it, while the group's id is still ours.
        ::kill(-pid_, SIGKILL);
    }
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid_, &status, 0);
    } while (result < 0 && errno == EINTR);
    // result < 0 means the child was reaped elsewhere (SIGCHLD ignored by the host): it has
    // ended with a status nobody can know, and the task keeps its initial one.
    reaped_ = true;
    if (result == pid_) {
        const bool signaled = WIFSIGNALED(status);
        terminationReason_ = signaled ? TaskTerminationReason::UncaughtSignal : TaskTerminationReason::Exit;
        terminationStatus_ = signaled ? WTERMSIG(status) : WEXITSTATUS(status);
    }
    if (childEndDescriptor_ >= 0) {
        ::close(childEndDescriptor_);
        childEndDescriptor_ = -1;
    }
    return true;
}

void Task::readAvailableOutput() {
    char buffer[64 * 1024];
    while (outputDescriptor_ >= 0) {
        const ssize_t count = ::read(outputDescriptor_, buffer, sizeof(buffer));
        if (count > 0) {
            output_.append(buffer, static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            if (count == 0 || errno != EAGAIN) {
                closeOutput();
            }
            return;
        }
    }
}

void Task::closeOutput() {
    if (outputDescriptor_ >= 0) {
        ::close(outputDescriptor_);
        outputDescriptor_ = -1;
    }
}

}  // namespace platform
