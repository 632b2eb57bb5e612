#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Platform/PlistValue.h"

// The job table of the launchd stand-in: which jobs are loaded, as a property list mapping
// each job's label to the path of the property list it was loaded from. One table per layout
// root ("<root>/var/run/launchd-standin/jobs.plist"), so separate roots never share jobs.
//
// The commands answer an exit status and write launchctl's own one-line messages to the
// error stream; a failed command leaves the table as it was.
class LaunchdJobTable {
public:
    // Status of a command that failed on its input or on the table file.
    static constexpr int kFailureStatus = 1;

    explicit LaunchdJobTable(std::string root);

    // The layout root a job property list belongs to: the part of its absolute path before
    // "/Users/<name>/Library/LaunchAgents/", "/Library/LaunchAgents/" or
    // "/Library/LaunchDaemons/"; "/" when there is no such part.
    static std::string rootForPropertyListPath(const std::string& path);

    const std::string& root() const { return root_; }
    // "<root>/var/run/launchd-standin/jobs.plist".
    const std::string& tablePath() const { return tablePath_; }

    // Records the job described at path under its label.
    int load(const std::string& path, std::ostream& err) const;
    // Forgets the job whose label the property list at path names.
    int unload(const std::string& path, std::ostream& err) const;
    // "PID\tStatus\tLabel", then "-\t0\t<label>" per loaded job in label order.
    int list(std::ostream& out, std::ostream& err) const;

private:
    // Changes the table for the job's label; false, after writing why, leaves it as it was.
    using TableChange = std::function<bool(platform::PlistDictionary& jobs, const std::string& label)>;

    // Reads the table, lets edit change it for the job described at path and writes it back.
    int change(const std::string& path, std::ostream& err, const TableChange& edit) const;
    // The job's label, after checking the property list describes a job; null with the
    // message written otherwise.
    static std::optional<std::string> jobLabel(const std::string& path, std::ostream& err);
    // The table's contents; empty when the file does not exist yet.
    std::optional<platform::PlistDictionary> read(std::ostream& err) const;
    bool write(const platform::PlistDictionary& jobs, std::ostream& err) const;

    std::string root_;
    std::string tablePath_;
};
