#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Date.h"
#include "Platform/Exception.h"

namespace platform {

// A lock that processes share through a file (the NSDistributedLock stand-in).
//
// The holder keeps the lock file open with an exclusive flock on it, so the lock is held
// exactly as long as that open file lives: a holder that dies, however it dies, releases it,
// and a file that merely exists at the path (an empty one left by whoever prepared it) holds
// nothing. Two lock objects exclude each other even inside one process. A process forked
// while holding shares the hold with its parent until both let go.
//
// File-system failures raise a platform Exception named "NSGenericException".
class DistributedLock {
public:
    // A lock for path, not held; null when the path cannot serve: empty, naming a folder, or
    // in a folder that does not exist.
    static std::unique_ptr<DistributedLock> lockWithPath(const std::string& path);

    // Destroying a lock object does not release a lock it holds: the hold stays with the
    // process until unlock (from any lock object on the path), breakLock or the process's end.
    virtual ~DistributedLock();
    DistributedLock(const DistributedLock&) = delete;
    DistributedLock& operator=(const DistributedLock&) = delete;

    // Takes the lock without waiting: true when taken, false when any holder (this object
    // included) has it. Creates the lock file when it is missing. Raises when the file cannot
    // be opened or locked for another reason than a holder.
    virtual bool tryLock();
    // Releases the lock this object holds or, failing that, one that a destroyed lock object
    // of this process left held on the path. Raises when neither holds it.
    void unlock();
    // Forces the lock free whoever holds it, by removing the lock file: a holder elsewhere
    // keeps a lock on a file nobody can reach any more, and the next tryLock makes a new one.
    // Raises when the file exists but cannot be removed.
    void breakLock();
    // When the current holder took the lock (the holder stamps the file's modification time;
    // a holder without write access to the file leaves its last change), or null when nobody
    // holds it. Asking takes a shared lock for an instant, so a tryLock at that very moment
    // answers false.
    std::optional<Date> lockDate();

protected:
    explicit DistributedLock(std::string path);
    static bool canServePath(const std::string& path);

private:
    std::string path_;
    int descriptor_ = -1;  // the open, exclusively locked lock file while this object holds it
};

}  // namespace platform
