#include "HostStatus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "HostExitStatus.h"
#include "KVLSharedUtil/KVLTaskUtil.h"
#include "Platform/ApplicationDatabase.h"
#include "Platform/FileStatus.h"
#include "Platform/Format.h"
#include "Platform/OwnedDescriptor.h"
#include "Platform/PropertyListSerialization.h"
#include "Platform/RegularFile.h"

namespace {

constexpr std::uint32_t kInstalledMode = 0644;
constexpr char kAutoUpdaterIdentifier[] = "com.orvane.OrvaneLite.AutoUpdater";

// Whether the listed jobs hold the label; not when either is unknown.
bool isLoaded(const std::optional<std::vector<std::string>>& jobs, const std::optional<std::string>& label) {
    return jobs && label && std::find(jobs->begin(), jobs->end(), *label) != jobs->end();
}

}  // namespace

HostStatus::HostStatus(std::shared_ptr<IKVLUpdaterPathHelper> paths, std::shared_ptr<const platform::ConfinedRoot> root,
                       std::ostream& out)
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
        const auto value =
            contents ? platform::PropertyListSerialization::propertyListWithData(*contents) : std::nullopt;
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
    if (KVLTaskUtil::launchProgram({"launchctl", "list"}, listing, KVLTaskStandardError::Inherited) != 0) {
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
    if (!isLoaded(jobs, label)) {
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
        } else if (isLoaded(jobs, label)) {
            lines.push_back(file.what + ": job " + *label + " is still loaded");
        }
    }
    const auto folder = paths_->orvaneLiteUpdaterDirectoryURL();
    if (folder && root_->attributesOfItem(folder->path())) {
        lines.push_back("updater folder: " + folder->path() + " is still there");
    }
    return lines;
}

std::vector<HostStatus::InstalledCopy> HostStatus::installedCopies() {
    std::vector<InstalledCopy> copies;
    std::vector<std::optional<std::string>> labels;
    for (const InstalledFile& file : installedFiles()) {
        if (!file.destination) {
            continue;
        }
        // The item itself, opened once and never through a link: a link planted there must
        // not have its target's contents written back in its place.
        const std::string path = file.destination->path();
        const platform::OwnedDescriptor item(root_->openFile(path, platform::RegularFile::openFlags()));
        struct stat info {};
        auto contents = item.get() >= 0 && ::fstat(item.get(), &info) == 0
                            ? platform::RegularFile::readDescriptor(item.get(), path, kMaxFileSize)
                            : std::nullopt;
        if (contents) {
            copies.push_back({path, std::move(*contents), platform::FileStatus::attributes(info), false});
            labels.push_back(file.isJob ? labelOf(file) : std::nullopt);
        }
    }
    // The launchd stand-in is asked only when there is a job to ask about (not before a
    // first install).
    if (std::any_of(labels.begin(), labels.end(), [](const auto& label) { return label.has_value(); })) {
        const auto jobs = loadedJobs();
        for (std::size_t index = 0; index < copies.size(); ++index) {
            copies[index].jobLoaded = isLoaded(jobs, labels[index]);
        }
    }
    return copies;
}

platform::PlistDictionary HostStatus::state() {
    using platform::PlistDictionary;
    const auto jobs = loadedJobs();
    platform::PlistArray files;
    for (const InstalledFile& file : installedFiles()) {
        PlistDictionary entry{{"What", file.what}, {"Path", file.destination ? file.destination->path() : ""}};
        const auto attributes = file.destination ? root_->attributesOfItem(file.destination->path()) : std::nullopt;
        entry["Installed"] = attributes.has_value();
        if (attributes) {
            entry["Owner"] = attributes->ownerAccountName.value_or(std::to_string(attributes->ownerAccountID));
            entry["Group"] =
                attributes->groupOwnerAccountName.value_or(std::to_string(attributes->groupOwnerAccountID));
            entry["Mode"] = static_cast<std::int64_t>(attributes->posixPermissions);
        }
        if (file.isJob) {
            const auto label = labelOf(file);
            entry["Job"] = label.value_or("");
            entry["Loaded"] = isLoaded(jobs, label);
        }
        files.emplace_back(std::move(entry));
    }
    PlistDictionary registration;
    const auto registered = platform::ApplicationDatabase::applicationURLsForBundleIdentifier(kAutoUpdaterIdentifier);
    registration["Registered"] = !registered.empty();
    if (registered.empty()) {
        registration["Problem"] = registrationProblem().value_or("");
    } else {
        registration["Path"] = registered.front().path();
    }
    const auto folder = paths_->orvaneLiteUpdaterDirectoryURL();
    return PlistDictionary{
        {"Files", std::move(files)},
        {"JobsListed", jobs.has_value()},
        {"Registration", std::move(registration)},
        {"UpdaterFolder", PlistDictionary{{"Path", folder ? folder->path() : ""},
                                          {"Present", folder && root_->attributesOfItem(folder->path())}}},
    };
}

int HostStatus::show() {
    const platform::PlistDictionary status = state();
    const auto text = [](const platform::PlistDictionary& entry, const char* key) {
        const auto found = entry.find(key);
        return found != entry.end() && found->second.string() != nullptr ? *found->second.string() : std::string();
    };
    const auto flag = [](const platform::PlistDictionary& entry, const char* key) {
        const auto found = entry.find(key);
        return found != entry.end() && found->second.boolean() != nullptr && *found->second.boolean();
    };
    const bool listed = flag(status, "JobsListed");
    for (const platform::PlistValue& value : *status.at("Files").array()) {
        const platform::PlistDictionary& file = *value.dictionary();
        out_ << text(file, "What") << ": "
             << (flag(file, "Installed")
                     ? platform::formatString("installed %@:%@ %04o", text(file, "Owner"), text(file, "Group"),
                                              static_cast<unsigned>(*file.at("Mode").integer()))
                     : std::string("not installed"))
             << "  " << text(file, "Path") << '\n';
        if (file.count("Job") != 0) {
            const std::string label = text(file, "Job");
            out_ << "  job " << (label.empty() ? "(unknown label)" : label) << ": "
                 << (!listed                ? "launchctl list failed"
                     : flag(file, "Loaded") ? "loaded"
                                            : "not loaded")
                 << '\n';
        }
    }
    const platform::PlistDictionary& registration = *status.at("Registration").dictionary();
    out_ << (flag(registration, "Registered") ? "auto-updater registration: registered at " + text(registration, "Path")
                                              : text(registration, "Problem"))
         << '\n';
    const platform::PlistDictionary& folder = *status.at("UpdaterFolder").dictionary();
    out_ << "updater folder: " << (flag(folder, "Present") ? "present  " : "absent  ") << text(folder, "Path")
         << std::endl;
    return listed ? HostExitSuccess : HostExitFailure;
}

int HostStatus::plist() {
    const platform::PlistDictionary status = state();
    platform::Error error;
    const auto xml = platform::PropertyListSerialization::xmlDataWithPropertyList(status, &error);
    if (!xml) {
        out_ << "status: " << error.localizedDescription << std::endl;
        return HostExitFailure;
    }
    out_ << *xml << std::flush;
    const auto listed = status.at("JobsListed").boolean();
    return listed != nullptr && *listed ? HostExitSuccess : HostExitFailure;
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
