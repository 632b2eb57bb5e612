#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Writing, copying and removing items named by a folder descriptor and a name in it, so that
// no path is resolved again by name; the file manager and the confined root share these.
// Each answers 0 or the errno of the call that failed, unchanged (a full disk stays ENOSPC).
// The folder descriptors must be open for reading (they are flushed).
struct DescriptorTree {
    // Decides whether a symbolic link may be recreated in a copy: its target and its path
    // relative to the copy's top ("" for the top itself). 0 to copy it, or an errno.
    using LinkPolicy = std::function<int(const std::string& target, const std::string& pathInCopy)>;

    // Replaces (or, without replace, creates: EEXIST when it exists) the file atomically: a
    // temporary beside it, written, given the mode, flushed, renamed over the name (a folder
    // there is not replaced: EISDIR), then the folder flushed. On failure the old file stays
    // and the temporary is gone. A writer killed before its rename leaves its temporary; the
    // next replacement or removal of the same name removes it (the writer's pid is in its name).
    static int writeFile(int folder, const std::string& name, std::string_view contents, mode_t mode, bool replace);
    // The same for a file named by a path: its folder opened once, the file written as above.
    static int writeFileAtPath(const std::string& path, std::string_view contents, mode_t mode);
    // The mode a new file gets where no other is asked for: 0666 less the process's umask,
    // read without changing it.
    static mode_t newFileMode();
    // Copies a file, a link or a folder with everything in it. Every file is written as
    // writeFile does and keeps its permissions; a folder is built under a temporary name
    // and renamed into place; with replace it takes the place of whatever is there (swapped
    // with it where rename cannot), so the destination is either the old item or the whole
    // copy. A FIFO, device or socket is not copied (EINVAL).
    static int copyItem(int sourceFolder, const std::string& sourceName, int destinationFolder,
                        const std::string& destinationName, bool replace, const LinkPolicy& linkPolicy);
    // Removes the item and all a folder holds, opening each folder with O_NOFOLLOW: a link
    // is removed as a link, never followed; then the temporaries that dead writers left beside it.
    static int removeItem(int folder, const std::string& name);
    // The names in an open folder, sorted, without "." and ".."; null with errno set.
    static std::optional<std::vector<std::string>> names(int folder);
};

}  // namespace platform
