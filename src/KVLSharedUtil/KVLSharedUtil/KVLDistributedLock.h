#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ErrorService/IKVLInternalError.h"
#include "Platform/DistributedLock.h"

// A lock that processes share through a file, named after one process of one application.
//
// The hold is the platform lock's: an open, exclusively locked lock file, so a holder that
// dies (SIGKILL included) releases it, and the empty file that the factory leaves at the path
// holds nothing. Releasing, breaking and the lock date are the platform lock's operations.
// Destroying a lock object does not release a lock it holds.
class KVLDistributedLock : public platform::DistributedLock {
public:
    // Makes the folder (with every missing folder above it) and an empty file at
    // "<folder>/<prefix><bundle id>_<pid>", truncating one that is there in place, so a
    // current holder keeps its hold. Answers the lock, not held, or null with the record filled.
    static std::unique_ptr<KVLDistributedLock> lockForProcessWithBundleId(const std::string& bundleId, std::int32_t pid,
                                                                          const std::string& namePrefix,
                                                                          const std::string& folderPath,
                                                                          IKVLInternalError* error);
    // A lock for the path, not held; null when the path cannot serve (empty, a folder, or in a
    // folder that does not exist).
    static std::unique_ptr<KVLDistributedLock> initWithPath(const std::string& path);

    // Tries to take the lock every 0.05 seconds until it is taken (true) or the timeout is used
    // up (false); at least one attempt, each failed one followed by a sleep. A file-system
    // failure on an attempt is logged at the warn level and counts as an attempt, without a
    // sleep.
    bool tryLockWithTimeout(double timeout);

    std::optional<std::string> mstrLockPath() const;
    void setMstrLockPath(std::optional<std::string> path);

private:
    explicit KVLDistributedLock(const std::string& path);

    mutable std::mutex mutex_;  // the property's accessors are atomic
    std::optional<std::string> mstrLockPath_;
};
