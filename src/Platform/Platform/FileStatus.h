#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>

#include "Platform/FileManager.h"

namespace platform {

// What the file manager and the confined root share about an item's status: its attributes
// from a stat record, and the account ids that attribute changes name.
struct FileStatus {
    static FileAttributes attributes(const struct stat& info);
    // The owner and group the changes ask for, a name winning over an id; EINVAL when a name
    // is unknown, otherwise 0.
    static int accountIDs(const FileAttributeChanges& changes, std::optional<std::uint32_t>* owner,
                          std::optional<std::uint32_t>* group);
};

}  // namespace platform
