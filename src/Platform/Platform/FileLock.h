#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "Platform/Error.h"

namespace platform {

class ConfinedRoot;

// An exclusive flock held on an open lock file for as long as the object lives: destroying it
// releases the lock and closes the file, and a holder that dies releases it with the process.
// Commands that change shared state under one root take it on a file they opened there.
class FileLock {
public:
    // Takes the lock on the descriptor, which the lock adopts (closing it on failure too),
    // trying every 50 ms until wait has passed. Null when another holder kept it all along
    // (*posixError = EWOULDBLOCK) or when flock failed otherwise (*posixError = its errno).
    static std::unique_ptr<FileLock> acquire(int descriptor, std::chrono::milliseconds wait, int* posixError);
    // Takes the lock on the lock file at path beneath the root, made with its folders when
    // missing. Null with the reason in *error: the file's own error (Cocoa domain) when it
    // cannot be opened or is no regular file, a POSIX one (EWOULDBLOCK: another holder kept it)
    // when the lock could not be taken.
    static std::unique_ptr<FileLock> acquireBeneath(const ConfinedRoot& root, std::string_view path,
                                                    std::chrono::milliseconds wait, Error* error);

    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
};

}  // namespace platform
