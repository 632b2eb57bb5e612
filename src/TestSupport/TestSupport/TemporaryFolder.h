#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kvltest {

// A fresh folder made by mkdtemp in the temporary folder, removed with everything in it at the
// end. The removal goes by descriptors from the folder it made: it refuses a folder that is no
// longer that one, never follows a symbolic link and never enters another mount, so a test that
// went wrong cannot make it remove anything else.
class TemporaryFolder {
public:
    explicit TemporaryFolder(std::string_view prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // Absolute, without symbolic links.
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int parent_ = -1;
    std::string name_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace kvltest
