#pragma once

#include <chrono>
#include <memory>

namespace platform {

// An exclusive flock held on an open lock file for as long as the object lives: destroying it
// releases the lock and closes the file, and a holder that dies releases it with the process.
// Commands that change shared state under one root take it on a file they opened there.
class FileLock {
public:
    // Takes the lock on the descriptor, which the lock adopts (closing it on failure too),
    // trying every 50 ms until wait has passed. Null when another holder kept it all along
    // (*posixError = EWOULDBLOCK) or when flock failed otherwise (*posixError = its errno).
    static std::unique_ptr<FileLock> acquire(int descriptor, std::chrono::milliseconds wait, int* posixError);

    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
};

}  // namespace platform
