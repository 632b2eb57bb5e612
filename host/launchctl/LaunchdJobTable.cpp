#include "LaunchdJobTable.h"

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "Platform/PropertyListSerialization.h"

namespace {

constexpr std::string_view kTableRelativePath = "var/run/launchd-standin/jobs.plist";
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

}  // namespace

LaunchdJobTable::LaunchdJobTable(std::string root) : root_(std::move(root)) {
    tablePath_ = (std::filesystem::path(root_.empty() ? "/" : root_) / kTableRelativePath).string();
}

std::string LaunchdJobTable::rootForPropertyListPath(const std::string& path) {
    // Relative paths name files below the working folder; the root is found on the
    // absolute form.
    std::error_code ignored;
    const std::string absolute = std::filesystem::absolute(path, ignored).lexically_normal().string();
    constexpr std::array<std::string_view, 2> kJobFolders = {"/Library/LaunchAgents/", "/Library/LaunchDaemons/"};
    std::string::size_type found = std::string::npos;
    for (std::string_view folder : kJobFolders) {
        const std::string::size_type position = absolute.rfind(folder);
        if (position != std::string::npos && (found == std::string::npos || position > found)) {
            found = position;
        }
    }
    if (found == std::string::npos) {
        return "/";
    }
    std::string root = absolute.substr(0, found);
    // A user's agents live in "<root>/Users/<name>/Library/LaunchAgents/".
    const std::string::size_type lastSlash = root.rfind('/');
    if (absolute.compare(found, std::string_view("/Library/LaunchAgents/").size(), "/Library/LaunchAgents/") == 0 &&
        lastSlash != std::string::npos && lastSlash + 1 < root.size()) {
        const std::string_view parent = std::string_view(root).substr(0, lastSlash);
        if (parent.ends_with("/Users")) {
            root = std::string(parent.substr(0, parent.size() - std::string_view("/Users").size()));
        }
    }
    return root.empty() ? "/" : root;
}

std::optional<std::string> LaunchdJobTable::jobLabel(const std::string& path, std::ostream& err) {
    // A file that cannot be read is reported with the system's reason, as launchctl does; one
    // that reads but is no dictionary is an invalid property list.
    platform::Error error;
    const std::optional<platform::PlistValue> value =
        platform::PropertyListSerialization::propertyListWithContentsOfFile(path, &error);
    if (!value && error.underlyingError != nullptr && error.underlyingError->domain == platform::kPOSIXErrorDomain) {
        err << path << ": " << error.underlyingError->localizedDescription << '\n';
        return std::nullopt;
    }
    const platform::PlistDictionary* job = value ? value->dictionary() : nullptr;
    if (job == nullptr) {
        err << "Invalid property list\n";
        return std::nullopt;
    }
    const auto label = job->find("Label");
    if (label == job->end() || label->second.string() == nullptr) {
        err << path << ": Missing Label\n";
        return std::nullopt;
    }
    const auto program = job->find("Program");
    const auto arguments = job->find("ProgramArguments");
    const bool hasProgram = program != job->end() && program->second.string() != nullptr;
    const bool hasArguments = arguments != job->end() && isStringArray(arguments->second);
    if (!hasProgram && !hasArguments) {
        err << path << ": Missing Program or ProgramArguments\n";
        return std::nullopt;
    }
    return *label->second.string();
}

std::optional<platform::PlistDictionary> LaunchdJobTable::read(std::ostream& err) const {
    platform::Error error;
    std::optional<platform::PlistValue> table =
        platform::PropertyListSerialization::propertyListWithContentsOfFile(tablePath_, &error);
    if (!table) {
        if (error.domain == platform::kCocoaErrorDomain && error.code == kFileReadNoSuchFileError) {
            return platform::PlistDictionary();
        }
        err << tablePath_ << ": " << error.localizedDescription << '\n';
        return std::nullopt;
    }
    platform::PlistDictionary* jobs = table->dictionary();
    if (jobs == nullptr) {
        err << tablePath_ << ": Invalid property list\n";
        return std::nullopt;
    }
    return std::move(*jobs);
}

bool LaunchdJobTable::write(const platform::PlistDictionary& jobs, std::ostream& err) const {
    std::error_code folderError;
    const std::filesystem::path folder = std::filesystem::path(tablePath_).parent_path();
    std::filesystem::create_directories(folder, folderError);
    if (folderError) {
        err << folder.string() << ": " << folderError.message() << '\n';
        return false;
    }
    platform::Error error;
    if (!platform::PropertyListSerialization::writeToFile(platform::PlistValue(jobs), tablePath_, &error)) {
        err << tablePath_ << ": " << error.localizedDescription << '\n';
        return false;
    }
    return true;
}

int LaunchdJobTable::change(const std::string& path, std::ostream& err, const TableChange& edit) const {
    const std::optional<std::string> label = jobLabel(path, err);
    if (!label) {
        return kFailureStatus;
    }
    std::optional<platform::PlistDictionary> jobs = read(err);
    if (!jobs || !edit(*jobs, *label)) {
        return kFailureStatus;
    }
    return write(*jobs, err) ? 0 : kFailureStatus;
}

int LaunchdJobTable::load(const std::string& path, std::ostream& err) const {
    return change(path, err, [&](platform::PlistDictionary& jobs, const std::string& label) {
        if (!jobs.emplace(label, platform::PlistValue(path)).second) {
            err << path << ": service already loaded\n";
            return false;
        }
        return true;
    });
}

int LaunchdJobTable::unload(const std::string& path, std::ostream& err) const {
    return change(path, err, [&](platform::PlistDictionary& jobs, const std::string& label) {
        if (jobs.erase(label) == 0) {
            err << path << ": Could not find specified service\n";
            return false;
        }
        return true;
    });
}

int LaunchdJobTable::list(std::ostream& out, std::ostream& err) const {
    const std::optional<platform::PlistDictionary> jobs = read(err);
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
