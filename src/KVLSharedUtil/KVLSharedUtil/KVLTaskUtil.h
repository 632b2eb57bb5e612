#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where a program's standard error goes.
enum class KVLTaskStandardError { Inherited, JoinsOutput };

// Runs one shell command line, or one program, in a child of this process, with the calling
// user's rights, and waits a bounded time for it.
class KVLTaskUtil {
public:
    // Runs "/bin/sh -c commandLine" (the line is one argument; the shell splits it) with
    // standard input and standard error inherited, appends what the child wrote to standard
    // output to output when it is valid UTF-8 (nothing otherwise; the previous contents stay),
    // and returns the child's termination status: its exit status, or the number of the signal
    // that ended it (15 for a child terminated at the end of the wait).
    //
    // The wait ends as soon as the child does. A child still running 5.05 seconds after launch
    // is sent SIGTERM, and SIGKILL if it has not ended a second later, each with the processes
    // it started (its process group), none of which is left running. Output is read while
    // waiting, so a child that writes more than a pipe holds is never blocked. Returns -1 when
    // the shell cannot be started. The runner logs nothing: its callers judge the status.
    static std::int32_t launchCommand(const std::string& commandLine, std::string& output);

    // Runs the program arguments[0] (looked up on PATH when it holds no slash) with the other
    // arguments, no shell between, as launchCommand runs the shell; standard error either is
    // inherited or goes into output with standard output. Returns -1 when the program cannot
    // be started.
    static std::int32_t launchProgram(const std::vector<std::string>& arguments, std::string& output,
                                      KVLTaskStandardError standardError);
};
