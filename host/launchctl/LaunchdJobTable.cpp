#include "LaunchdJobTable.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string_view>

#include "Platform/FileLock.h"
#include "Platform/PropertyListSerialization.h"

namespace {

constexpr char kTableFile[] = "var/run/launchd-standin/jobs.plist";
constexpr char kLockFile[] = "var/run/launchd-standin/jobs.lock";
// A change holds the lock for a moment; a holder that keeps it longer is stuck.
constexpr std::chrono::milliseconds kLockWait(10000);
// The Cocoa code of a file that does not exist.
constexpr std::int64_t kFileReadNoSuchFileError = 260;

bool isStringArray(const platform::PlistValue& value) {
    const platform::PlistArray* array = value.array();
    if (array == nullptr) {
        return false;
    }
    for (const platform::PlistValue& element : *array) {
        if (element.string() == nullptr) {
            return false;
        }
    }
    return true;
}

// The reason of a failed file operation: the system's own words when a POSIX error lies
// underneath, the platform's description otherwise and for a path leading out of the root,
// which that description names.
std::string reasonOf(const platform::Error& error) {
    const auto& cause = error.underlyingError;
    return cause != nullptr && cause->domain == platform::kPOSIXErrorDomain &&
                   !platform::ConfinedRoot::leadsOutside(error)
               ? cause->localizedDescription
               : error.localizedDescription;
}

// Paths are kept absolute, so that a job's recorded path names it from anywhere.
std::string absolutePath(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::absolute(path, ignored).lexically_normal().string();
}

}  // namespace

LaunchdJobTable::LaunchdJobTable(std::string root)
    : root_(std::move(root)), tablePath_((root_ == "/" ? "" : root_) + "/" + kTableFile) {}

std::shared_ptr<const platform::ConfinedRoot> LaunchdJobTable::openRoot(std::ostream& err) const {
    platform::Error error;
    auto root = platform::ConfinedRoot::open(root_, &error);
    if (!root) {
        err << "the root " << root_ << " cannot be used: " << reasonOf(error) << '\n';
    }
    return root;
}

std::optional<std::string> LaunchdJobTable::jobLabel(const platform::ConfinedRoot& root, const std::string& path,
                                                     std::ostream& err, bool* missing) {
    platform::Error error;
    const std::optional<std::string> bytes = root.contentsOfFile(path, kMaxJobSize, &error);
    if (!bytes) {
        *missing = error.domain == platform::kCocoaErrorDomain && error.code == kFileReadNoSuchFileError;
        err << path << ": " << reasonOf(error) << '\n';
        return std::nullopt;
    }
    const std::optional<platform::PlistValue> value = platform::PropertyListSerialization::propertyListWithData(*bytes);
    const platform::PlistDictionary* job = value ? value->dictionary() : nullptr;
    if (job == nullptr) {
        err << path << ": invalid job: not a property list holding a dictionary\n";
        return std::nullopt;
    }
    const auto label = job->find("Label");
    if (label == job->end() || label->second.string() == nullptr) {
        err << path << ": invalid job: Missing Label\n";
        return std::nullopt;
    }
    const auto program = job->find("Program");
    const auto arguments = job->find("ProgramArguments");
    const bool hasProgram = program != job->end() && program->second.string() != nullptr;
    const bool hasArguments = arguments != job->end() && isStringArray(arguments->second);
    if (!hasProgram && !hasArguments) {
        err << path << ": invalid job: Missing Program or ProgramArguments\n";
        return std::nullopt;
    }
    return *label->second.string();
}

std::optional<platform::PlistDictionary> LaunchdJobTable::read(const platform::ConfinedRoot& root,
                                                               std::ostream& err) const {
    platform::Error error;
    const std::optional<std::string> bytes = root.contentsOfFile(kTableFile, kMaxTableSize, &error);
    if (!bytes) {
        if (error.domain == platform::kCocoaErrorDomain && error.code == kFileReadNoSuchFileError) {
            return platform::PlistDictionary();
        }
        err << "the job table " << tablePath_ << " cannot be read: " << reasonOf(error) << '\n';
        return std::nullopt;
    }
    std::optional<platform::PlistValue> table =
        platform::PropertyListSerialization::propertyListWithData(*bytes, &error);
    if (!table) {
        err << "the job table " << tablePath_ << " is damaged: " << error.localizedDescription << '\n';
        return std::nullopt;
    }
    platform::PlistDictionary* jobs = table->dictionary();
    if (jobs == nullptr) {
        err << "the job table " << tablePath_ << " is damaged: it holds no dictionary of jobs\n";
        return std::nullopt;
    }
    return std::move(*jobs);
}

bool LaunchdJobTable::write(const platform::ConfinedRoot& root, const platform::PlistDictionary& jobs,
                            std::ostream& err) const {
    platform::Error error;
    const auto xml = platform::PropertyListSerialization::xmlDataWithPropertyList(platform::PlistValue(jobs), &error);
    if (!xml || !root.writeFile(kTableFile, *xml, 0644, &error)) {
        err << "the job table " << tablePath_ << " cannot be written: " << reasonOf(error) << '\n';
        return false;
    }
    return true;
}

int LaunchdJobTable::change(const std::string& path, bool missingJobAllowed, std::ostream& err,
                            const TableChange& edit) const {
    const auto root = openRoot(err);
    if (!root) {
        return kFailureStatus;
    }
    std::ostringstream problem;
    bool missing = false;
    const std::optional<std::string> label = jobLabel(*root, path, problem, &missing);
    if (!label && !(missing && missingJobAllowed)) {
        err << problem.str();
        return kFailureStatus;
    }
    platform::Error error;
    const auto lock = platform::FileLock::acquireBeneath(*root, kLockFile, kLockWait, &error);
    if (!lock) {
        err << "the job table's lock " << root->path() << "/" << kLockFile << " cannot be taken: " << reasonOf(error)
            << '\n';
        return kFailureStatus;
    }
    std::optional<platform::PlistDictionary> jobs = read(*root, err);
    if (!jobs || !edit(*jobs, label)) {
        return kFailureStatus;
    }
    return write(*root, *jobs, err) ? 0 : kFailureStatus;
}

int LaunchdJobTable::load(const std::string& path, std::ostream& err) const {
    const std::string absolute = absolutePath(path);
    return change(absolute, false, err, [&](platform::PlistDictionary& jobs, const std::optional<std::string>& label) {
        if (!jobs.emplace(*label, platform::PlistValue(absolute)).second) {
            err << absolute << ": service already loaded\n";
            return false;
        }
        return true;
    });
}

int LaunchdJobTable::unload(const std::string& path, std::ostream& err) const {
    const std::string absolute = absolutePath(path);
    return change(absolute, true, err, [&](platform::PlistDictionary& jobs, const std::optional<std::string>& label) {
        const auto loaded = label ? jobs.find(*label) : std::find_if(jobs.begin(), jobs.end(), [&](const auto& job) {
            return job.second.string() != nullptr && *job.second.string() == absolute;
        });
        if (loaded == jobs.end()) {
            err << absolute << ": " << (label ? "Could not find specified service" : std::strerror(ENOENT)) << '\n';
            return false;
        }
        jobs.erase(loaded);
        return true;
    });
}

int LaunchdJobTable::list(std::ostream& out, std::ostream& err) const {
    const auto root = openRoot(err);
    const std::optional<platform::PlistDictionary> jobs = root ? read(*root, err) : std::nullopt;
    if (!jobs) {
        return kFailureStatus;
    }
    out << "PID\tStatus\tLabel\n";
    // The table is a sorted map: its order is label order.
    for (const auto& [label, installedPath] : *jobs) {
        out << "-\t0\t" << label << '\n';
    }
    return 0;
}
