#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

namespace kvltest {

// What a test compares to prove that nothing in a folder changed: every item below it with
// its contents (a link's target), mode, owner and group.
using TreeSnapshot = std::map<std::string, std::tuple<std::string, mode_t, uid_t, gid_t>>;

inline TreeSnapshot snapshotOf(const std::string& folder) {
    TreeSnapshot items;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        std::ifstream in(S_ISREG(info.st_mode) ? entry.path() : "", std::ios::binary);
        std::string contents(std::istreambuf_iterator<char>(in), {});
        if (S_ISLNK(info.st_mode))
            contents = std::filesystem::read_symlink(entry.path()).string();
        items[entry.path().string()] = {contents, info.st_mode, info.st_uid, info.st_gid};
    }
    return items;
}

}  // namespace kvltest
