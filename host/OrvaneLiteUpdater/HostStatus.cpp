#include "HostStatus.h"

#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "HostExitStatus.h"
#include "KVLSharedUtil/KVLTaskUtil.h"
#include "Platform/ApplicationDatabase.h"
#include "Platform/Format.h"
#include "Platform/PropertyListSerialization.h"

namespace {

constexpr std::uint32_t kInstalledMode = 0644;
constexpr char kAutoUpdaterIdentifier[] = "com.orvane.OrvaneLite.AutoUpdater";

std::string ownerAndMode(const platform::FileAttributes& attributes) {
    return platform::formatString(
        "%@:%@ %04o", attributes.ownerAccountName.value_or(std::to_string(attributes.ownerAccountID)),
        attributes.groupOwnerAccountName.value_or(std::to_string(attributes.groupOwnerAccountID)),
        attributes.posixPermissions);
}

}  // namespace

HostStatus::HostStatus(std::shared_ptr<IKVLUpdaterPathHelper> paths,
                       std::shared_ptr<const platform::ConfinedRoot> root, std::ostream& out)
    : paths_(std::move(paths)), root_(std::move(root)), out_(out) {}

std::optional<std::string> HostStatus::contentsOf(const std::string& path, std::string* problem) const {
    platform::Error error;
    auto contents = root_->contentsOfFile(path, kMaxFileSize, &error);
    if (!contents && problem != nullptr) {
        *problem = error.localizedDescription;
    }
    return contents;
}

std::vector<HostStatus::InstalledFile> HostStatus::installedFiles() const {
    return {
        {"system preferences", paths_->sourceOfUpdaterSystemPreferencesPListURL(),
         paths_->destinationOfUpdaterSystemPreferencesPListURL(), false},
        {"update schedule", paths_->sourceOfUpdateSchedulerPListURL(), paths_->destinationOfUpdateSchedulerPlist(),
         false},
        {"auto-updater agent", paths_->sourceOfOrvaneLiteAutoUpdaterAppPListURL(),
         paths_->destinationOfOrvaneLiteAutoUpdaterAppPListURL(), true},
        {"copy helper daemon", paths_->sourceOfCopyHelperPListURL(), paths_->destinationOfCopyHelperPListURL(), true},
        {"update helper daemon", paths_->sourceOfUpdateHelperPListURL(), paths_->destinationOfUpdateHelperPListURL(),
         true},
    };
}

std::optional<std::string> HostStatus::labelOf(const InstalledFile& file) const {
    for (const auto& url : {file.destination, file.source}) {
        const auto contents = url ? contentsOf(url->path()) : std::nullopt;
        const auto value = contents ? platform::PropertyListSerialization::propertyListWithData(*contents) : std::nullopt;
        const platform::PlistDictionary* job = value ? value->dictionary() : nullptr;
        if (job == nullptr) {
            continue;
        }
        if (const auto label = job->find("Label"); label != job->end() && label->second.string() != nullptr) {
            return *label->second.string();
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> HostStatus::loadedJobs() {
    std::string listing;
    if (KVLTaskUtil::launchCommand("launchctl list", listing) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> labels;
    std::istringstream lines(listing);
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        labels.push_back(line.substr(line.rfind('\t') + 1));
    }
    return labels;
}

std::optional<std::string> HostStatus::notLoaded(const InstalledFile& file,
                                                 const std::optional<std::vector<std::string>>& jobs) const {
    if (!jobs) {
        return file.what + ": launchctl list failed";
    }
    const auto label = labelOf(file);
    if (!label || std::find(jobs->begin(), jobs->end(), *label) == jobs->end()) {
        return file.what + ": job " + label.value_or("(unknown label)") + " is not loaded";
    }
    return std::nullopt;
}

std::vector<std::string> HostStatus::jobsNotLoaded(bool* listed) {
    const auto jobs = loadedJobs();
    *listed = jobs.has_value();
    std::vector<std::string> lines;
    for (const InstalledFile& file : installedFiles()) {
        if (const auto problem = file.isJob ? notLoaded(file, jobs) : std::nullopt) {
            lines.push_back(*problem);
        }
    }
    return lines;
}

std::optional<std::string> HostStatus::registrationProblem() {
    platform::Error error;
    if (!platform::ApplicationDatabase::applicationURLsForBundleIdentifier(kAutoUpdaterIdentifier, &error).empty()) {
        return std::nullopt;
    }
    return "auto-updater registration: " +
           (error.localizedDescription.empty() ? std::string("not registered") : error.localizedDescription);
}

std::vector<std::string> HostStatus::remains() {
    const auto jobs = loadedJobs();
    std::vector<std::string> lines;
    for (const InstalledFile& file : installedFiles()) {
        if (file.destination && root_->attributesOfItem(file.destination->path())) {
            lines.push_back(file.what + ": " + file.destination->path() + " is still there");
        }
        const auto label = file.isJob ? labelOf(file) : std::nullopt;
        if (!jobs && file.isJob) {
            lines.push_back(file.what + ": launchctl list failed");
        } else if (label && std::find(jobs->begin(), jobs->end(), *label) != jobs->end()) {
            lines.push_back(file.what + ": job " + *label + " is still loaded");
        }
    }
    const auto folder = paths_->orvaneLiteUpdaterDirectoryURL();
    if (folder && root_->attributesOfItem(folder->path())) {
        lines.push_back("updater folder: " + folder->path() + " is still there");
    }
    return lines;
}

int HostStatus::show() {
    const auto jobs = loadedJobs();
    for (const InstalledFile& file : installedFiles()) {
        const std::string path = file.destination ? file.destination->path() : "(no location)";
        const auto attributes = root_->attributesOfItem(path);
        out_ << file.what << ": " << (attributes ? "installed " + ownerAndMode(*attributes) : "not installed") << "  "
             << path << '\n';
        if (file.isJob) {
            const auto label = labelOf(file);
            const bool loaded = jobs && label && std::find(jobs->begin(), jobs->end(), *label) != jobs->end();
            out_ << "  job " << label.value_or("(unknown label)") << ": "
                 << (jobs ? (loaded ? "loaded" : "not loaded") : "launchctl list failed") << '\n';
        }
    }
    const auto registered = platform::ApplicationDatabase::applicationURLsForBundleIdentifier(kAutoUpdaterIdentifier);
    out_ << (registered.empty() ? registrationProblem().value_or("")
                                : "auto-updater registration: registered at " + registered.front().path())
         << '\n';
    const auto folder = paths_->orvaneLiteUpdaterDirectoryURL();
    out_ << "updater folder: "
         << (folder && root_->attributesOfItem(folder->path()) ? "present  " : "absent  ")
         << (folder ? folder->path() : "") << std::endl;
    return HostExitSuccess;
}

int HostStatus::verify() {
    const auto jobs = loadedJobs();
    int differences = 0;
    const auto differ = [&](const std::string& line) {
        out_ << line << '\n';
        ++differences;
    };
    for (const InstalledFile& file : installedFiles()) {
        if (!file.source || !file.destination) {
            differ(file.what + ": the updater application is not staged under the root");
            continue;
        }
        const std::string path = file.destination->path();
        std::string problem;
        const auto attributes = root_->attributesOfItem(path);
        const auto installed = attributes ? contentsOf(path, &problem) : std::nullopt;
        if (!attributes) {
            differ(file.what + ": missing " + path);
        } else if (!installed) {
            differ(file.what + ": " + problem);
        } else {
            if (installed != contentsOf(file.source->path())) {
                differ(file.what + ": " + path + " differs from " + file.source->path());
            }
            if (::geteuid() == 0 && (attributes->ownerAccountID != 0 || attributes->groupOwnerAccountID != 0)) {
                differ(platform::formatString("%@: %@ is owned by %u:%u, not root:wheel", file.what, path,
                                              attributes->ownerAccountID, attributes->groupOwnerAccountID));
            }
            if (attributes->posixPermissions != kInstalledMode) {
                differ(platform::formatString("%@: %@ has mode %04o, not 0644", file.what, path,
                                              attributes->posixPermissions));
            }
        }
        if (const auto problem = file.isJob ? notLoaded(file, jobs) : std::nullopt) {
            differ(*problem);
        }
    }
    if (differences == 0) {
        out_ << "status: everything installed matches what the updater application ships" << std::endl;
        return HostExitSuccess;
    }
    out_ << "status: " << differences << " difference" << (differences == 1 ? "" : "s") << std::endl;
    return HostExitFailure;
}
