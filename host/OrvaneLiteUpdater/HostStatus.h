#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "KVLUpdaterConfigService/IKVLUpdaterPathHelper.h"
#include "Platform/ConfinedRoot.h"
#include "Platform/PlistValue.h"
#include "Platform/URL.h"

// What the updater has installed under the root, beside what the staged application ships.
// Every file is looked at through the confined root and read as a regular file of at most
// kMaxFileSize bytes, so a planted link, FIFO or device is reported, never followed or waited on.
class HostStatus {
public:
    static constexpr std::uint64_t kMaxFileSize = 1024 * 1024;

    // An installed file as it is now: enough to write it back and to load its job again.
    struct InstalledCopy {
        std::string path;
        std::string contents;
        platform::FileAttributes attributes;
        bool jobLoaded = false;
    };

    HostStatus(std::shared_ptr<IKVLUpdaterPathHelper> paths, std::shared_ptr<const platform::ConfinedRoot> root,
               std::ostream& out);

    // Prints the settings files, the installed property lists with owner and mode, the loaded
    // jobs, the auto-updater's registration and the updater folder; failure when the loaded
    // jobs cannot be listed.
    int show();
    // The same state as an XML property list (keys Files, JobsListed, Registration and
    // UpdaterFolder), for scripts; failure as for show.
    int plist();
    // Prints one line per difference from what the application ships (content, root:wheel
    // ownership when running as root, mode 0644, job loaded); failure when there is any.
    int verify();
    // One line per job the updater installs that the launchd stand-in does not list (or
    // every job when it cannot be asked, *listed then false); empty when all are loaded.
    std::vector<std::string> jobsNotLoaded(bool* listed);
    // Why the auto-updater is not registered; null when it is.
    static std::optional<std::string> registrationProblem();
    // One line per thing the updater installs that is still there (file, loaded job,
    // updater folder); empty when nothing is.
    std::vector<std::string> remains();
    // A copy of each installed file that is there as a regular file (not a link) and readable.
    std::vector<InstalledCopy> installedCopies();
    const std::shared_ptr<const platform::ConfinedRoot>& root() const { return root_; }

private:
    // A file the updater installs: where it comes from and where it goes; a job has a label.
    struct InstalledFile {
        std::string what;
        std::optional<platform::URL> source;
        std::optional<platform::URL> destination;
        bool isJob = false;
    };

    std::vector<InstalledFile> installedFiles() const;
    // What show and plist report.
    platform::PlistDictionary state();
    // The file's contents; null, with the reason in *problem, when it cannot be read.
    std::optional<std::string> contentsOf(const std::string& path, std::string* problem = nullptr) const;
    // The job's label, from the installed property list or else the shipped one.
    std::optional<std::string> labelOf(const InstalledFile& file) const;
    // The labels the launchd stand-in lists; null when it cannot be asked.
    std::optional<std::vector<std::string>> loadedJobs();
    // Why the file's job is not loaded, given the loaded labels; null when it is loaded.
    std::optional<std::string> notLoaded(const InstalledFile& file,
                                         const std::optional<std::vector<std::string>>& jobs) const;

    std::shared_ptr<IKVLUpdaterPathHelper> paths_;
    std::shared_ptr<const platform::ConfinedRoot> root_;
    std::ostream& out_;
};
