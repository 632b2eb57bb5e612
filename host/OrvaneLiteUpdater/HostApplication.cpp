#include "HostApplication.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "Platform/Bundle.h"

namespace fs = std::filesystem;

namespace {

constexpr char kApplicationsFolder[] = "Applications/Orvane Lite";

// Copies the application's folder (ours, outside the root) to a new folder beneath the root.
bool copyInto(const platform::ConfinedRoot& root, const fs::path& source, const std::string& destination,
              std::string* problem) {
    platform::Error error;
    if (!root.createDirectory(destination, false, {}, &error)) {
        *problem = error.localizedDescription;
        return false;
    }
    std::error_code walkError;
    for (fs::recursive_directory_iterator entry(source, walkError), end; !walkError && entry != end;
         entry.increment(walkError)) {
        const std::string target = destination + "/" + fs::relative(entry->path(), source).string();
        const fs::file_status status = entry->symlink_status();
        const auto mode = static_cast<std::uint32_t>(status.permissions() & fs::perms::mask);
        if (fs::is_directory(status)) {
            platform::FileAttributeChanges permissions;
            permissions.posixPermissions = mode;
            if (!root.createDirectory(target, false, permissions, &error)) {
                *problem = error.localizedDescription;
                return false;
            }
            continue;
        }
        std::ifstream file(entry->path(), std::ios::binary);
        std::ostringstream contents;
        contents << file.rdbuf();
        if (!fs::is_regular_file(status) || !file) {
            *problem = entry->path().string() + " cannot be read as a regular file";
            return false;
        }
        if (!root.writeFile(target, contents.str(), mode, &error)) {
            *problem = error.localizedDescription;
            return false;
        }
    }
    if (walkError) {
        *problem = source.string() + ": " + walkError.message();
    }
    return !walkError;
}

}  // namespace

HostApplication HostApplication::current() {
    const auto bundle = platform::Bundle::mainBundle();
    std::error_code ignored;
    return HostApplication(bundle ? bundle->bundlePath() : fs::current_path(ignored).string());
}

std::string HostApplication::executablesFolder() const { return bundlePath_ + "/Contents/MacOS"; }

std::string HostApplication::pluginBundlePath() const {
    return bundlePath_ + "/Contents/Resources/UpdateAssistant.bundle";
}

bool HostApplication::stageInto(const platform::ConfinedRoot& root, std::ostream& out, std::ostream& err) const {
    const std::string name = fs::path(bundlePath_).filename().string();
    const std::string destination = std::string(kApplicationsFolder) + "/" + name;
    const std::string shown = root.path() + "/" + destination;
    std::error_code ignored;
    if (fs::equivalent(bundlePath_, shown, ignored)) {
        out << "stage: " << shown << " is this application already" << std::endl;
        return true;
    }
    // What an earlier, interrupted stage left under these names is ours to remove; a link
    // there is removed as a link.
    const std::string fresh = destination + ".staging";
    const std::string previous = destination + ".previous";
    platform::Error error;
    std::string problem;
    root.removeItem(fresh);
    root.removeItem(previous);
    bool ok = root.createDirectory(kApplicationsFolder, true, {}, &error);
    if (!ok) {
        problem = error.localizedDescription;
    } else {
        ok = copyInto(root, bundlePath_, fresh, &problem);
    }
    const bool hadEarlierCopy = ok && root.attributesOfItem(destination).has_value();
    if (ok && hadEarlierCopy && !(ok = root.moveItem(destination, previous, &error))) {
        problem = error.localizedDescription;
    }
    if (ok && !(ok = root.moveItem(fresh, destination, &error))) {
        problem = error.localizedDescription;
        if (hadEarlierCopy) {
            root.moveItem(previous, destination);
        }
    }
    root.removeItem(ok ? previous : fresh);
    if (!ok) {
        err << "stage: cannot copy " << bundlePath_ << " to " << shown << ": " << problem << std::endl;
        return false;
    }
    out << "stage: " << shown << " ... ok" << std::endl;
    return true;
}
