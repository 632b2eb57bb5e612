#pragma once

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kvltest {

// Runs body in a forked child and answers its exit status (125 when it did not exit).
inline int runInChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 125;
}

// Runs body in a forked child that has switched to the user "nobody" (root ignores file
// permissions) and answers its exit status: 125 when the child did not exit, -1 when the
// switch is impossible (not root, or no such user).
inline int runAsNobody(const std::function<int()>& body) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        return -1;
    }
    const int status =
        runInChild([&] { return ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0 ? 120 : body(); });
    return status == 120 ? -1 : status;
}

}  // namespace kvltest
