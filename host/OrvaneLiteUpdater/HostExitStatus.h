#pragma once

// The host's exit statuses.
enum HostExitStatus : int {
    HostExitSuccess = 0,
    // A step of the cycle failed, or status --verify found a difference.
    HostExitFailure = 1,
    // The command line was not understood, or the root was refused.
    HostExitUsage = 2,
    // The cycle ended but the machine needs a log-off (or restart) to finish it.
    HostExitLogoffRequired = 3,
};
