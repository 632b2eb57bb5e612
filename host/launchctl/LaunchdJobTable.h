#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "Platform/ConfinedRoot.h"
#include "Platform/PlistValue.h"

// The job table of the launchd stand-in: which jobs are loaded, as a property list mapping
// each job's label to the path of the property list it was loaded from. One table per root
// ("<root>/var/run/launchd-standin/jobs.plist"), so separate roots never share jobs.
//
// Every file is reached through the root opened once (links leading out are refused), and
// read as a regular file of bounded size: a job's property list up to kMaxJobSize, the table
// up to kMaxTableSize. A job's property list must lie under the root. Each change reads,
// edits and atomically rewrites the table while holding the table's lock
// ("<root>/var/run/launchd-standin/jobs.lock"), so that changes made at once are all kept.
//
// The commands answer an exit status and write one-line messages saying what failed and why
// to the error stream; a failed command leaves the table as it was.
class LaunchdJobTable {
public:
    // Status of a command that failed on its input or on the table file.
    static constexpr int kFailureStatus = 1;
    static constexpr std::uint64_t kMaxJobSize = 1024 * 1024;
    static constexpr std::uint64_t kMaxTableSize = 4 * 1024 * 1024;

    explicit LaunchdJobTable(std::string root);

    // "<root>/var/run/launchd-standin/jobs.plist".
    const std::string& tablePath() const { return tablePath_; }

    // Records the job described at path under its label.
    int load(const std::string& path, std::ostream& err) const;
    // Forgets the job whose label the property list at path names, or, when that file is
    // gone, the job that was loaded from path.
    int unload(const std::string& path, std::ostream& err) const;
    // "PID\tStatus\tLabel", then "-\t0\t<label>" per loaded job in label order.
    int list(std::ostream& out, std::ostream& err) const;

private:
    // Changes the table for the job's label; false, after writing why, leaves it as it was.
    // The label is null when the job's property list is missing and the change allows it.
    using TableChange = std::function<bool(platform::PlistDictionary& jobs, const std::optional<std::string>& label)>;

    // The root opened; null with the message written.
    std::shared_ptr<const platform::ConfinedRoot> openRoot(std::ostream& err) const;
    // Reads the table, lets edit change it for the job described at path (absolute) and
    // writes it back, under the table's lock.
    int change(const std::string& path, bool missingJobAllowed, std::ostream& err, const TableChange& edit) const;
    // The job's label, after checking the property list describes a job; null with the
    // message written otherwise (*missing: because the file does not exist).
    static std::optional<std::string> jobLabel(const platform::ConfinedRoot& root, const std::string& path,
                                               std::ostream& err, bool* missing);
    // The table's contents; empty when the file does not exist yet.
    std::optional<platform::PlistDictionary> read(const platform::ConfinedRoot& root, std::ostream& err) const;
    bool write(const platform::ConfinedRoot& root, const platform::PlistDictionary& jobs, std::ostream& err) const;

    std::string root_;
    std::string tablePath_;
};
