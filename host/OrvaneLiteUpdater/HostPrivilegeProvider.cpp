#include "HostPrivilegeProvider.h"

#include <grp.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>

#include "KVLSharedUtil/KVLTaskUtil.h"
#include "Platform/Format.h"
#include "Platform/PathUtilities.h"
#include "Platform/SourcePath.h"

namespace {

// Whether the shell passes the character on as it is, in a word of a command line.
bool isPlainCharacter(char c) {
    constexpr std::string_view kPlainPunctuation = "%+,-./:=@_";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kPlainPunctuation.find(c) != std::string_view::npos;
}

// The words of a launchctl command line made only of plain words between spaces, which runs
// the same without a shell; none for any other line.
std::optional<std::vector<std::string>> plainLaunchctlWords(std::string_view commandLine) {
    if (!std::all_of(commandLine.begin(), commandLine.end(), [](char c) { return c == ' ' || isPlainCharacter(c); })) {
        return std::nullopt;
    }
    std::vector<std::string> words;
    for (std::size_t start = 0; start < commandLine.size();) {
        const std::size_t end = std::min(commandLine.find(' ', start), commandLine.size());
        if (end > start) {
            words.emplace_back(commandLine.substr(start, end - start));
        }
        start = end + 1;
    }
    if (words.empty() || words.front() != "launchctl") {
        return std::nullopt;
    }
    return words;
}

}  // namespace

HostPrivilegeProvider::HostPrivilegeProvider(std::shared_ptr<const platform::ConfinedRoot> root,
                                             std::shared_ptr<IKVLLogger> logger)
    : root_(std::move(root)), logger_(std::move(logger)) {}

void HostPrivilegeProvider::failCall(Operation operation, std::size_t n) { failures_[operation].insert(n); }

bool HostPrivilegeProvider::operationNamed(const std::string& name, Operation* operation) {
    static const std::map<std::string, Operation> kNames{{"copy", Operation::Copy},
                                                         {"attributes", Operation::SetAttributes},
                                                         {"remove", Operation::Remove},
                                                         {"launch", Operation::Launch}};
    const auto found = kNames.find(name);
    if (found == kNames.end()) {
        return false;
    }
    *operation = found->second;
    return true;
}

bool HostPrivilegeProvider::fail(IKVLInternalError* error, const std::string& message, std::int64_t code) const {
    logger_->logMessage("Privilege provider: %@", KVLLogLevelError, KVL_SOURCE_PATH, __LINE__, message);
    if (error != nullptr) {
        error->populateWithErrorMessage(message, code, KVLInternalErrorTypeOther, KVL_SOURCE_PATH, __LINE__,
                                        std::nullopt);
    }
    return false;
}

bool HostPrivilegeProvider::begin(Operation operation, const std::string& description, IKVLInternalError* error) {
    logger_->logMessage("Privilege provider: %@", KVLLogLevelInfo, KVL_SOURCE_PATH, __LINE__, description);
    const std::size_t call = ++counts_[operation];
    const auto& chosen = failures_[operation];
    if (chosen.count(call) != 0 || chosen.count(0) != 0) {
        return fail(error, "Injected failure of " + description, -1);
    }
    return true;
}

bool HostPrivilegeProvider::fail(IKVLInternalError* error, const platform::Error& failure) const {
    const std::int64_t code = platform::ConfinedRoot::leadsOutside(failure) ? EPERM : failure.code;
    return fail(error, failure.localizedDescription, code);
}

bool HostPrivilegeProvider::copyFile(const platform::URL& source, const platform::URL& destination,
                                     bool createIntermediateDirectories, bool replaceExisting,
                                     IKVLInternalError* error) {
    if (!begin(Operation::Copy, "copy " + source.path() + " -> " + destination.path(), error)) {
        return false;
    }
    platform::Error failure;
    const std::string folder = platform::PathUtilities::stringByDeletingLastPathComponent(destination.path());
    if (!root_->relativePath(source.path(), &failure) || !root_->relativePath(destination.path(), &failure) ||
        (createIntermediateDirectories && !root_->createDirectory(folder, true, {}, &failure)) ||
        !root_->copyItem(source.path(), destination.path(), replaceExisting, &failure)) {
        return fail(error, failure);
    }
    return true;
}

bool HostPrivilegeProvider::setAttributes(const platform::PlistDictionary& attributes, const std::string& path,
                                          IKVLInternalError* error) {
    if (!begin(Operation::SetAttributes, "attributes " + path, error)) {
        return false;
    }
    platform::FileAttributeChanges changes;
    if (const auto found = attributes.find("NSFilePosixPermissions");
        found != attributes.end() && found->second.integer()) {
        changes.posixPermissions = static_cast<std::uint32_t>(*found->second.integer());
    }
    if (::geteuid() == 0) {
        if (const auto found = attributes.find("NSFileOwnerAccountName");
            found != attributes.end() && found->second.string()) {
            changes.ownerAccountName = *found->second.string();
        }
        if (const auto found = attributes.find("NSFileGroupOwnerAccountName");
            found != attributes.end() && found->second.string()) {
            // wheel is group 0, as on the system the jobs are made for, whatever group this one
            // may call wheel; and a name the group database lacks would send the lookup through
            // every source it has.
            const std::string& group = *found->second.string();
            if (group == "wheel") {
                changes.groupOwnerAccountID = 0;
            } else if (::getgrnam(group.c_str()) != nullptr) {
                changes.groupOwnerAccountName = group;
            }
        }
    }
    platform::Error failure;
    if (!root_->setAttributes(changes, path, &failure)) {
        return fail(error, failure);
    }
    return true;
}

bool HostPrivilegeProvider::removeFileAt(const platform::URL& url, IKVLInternalError* error) {
    if (!begin(Operation::Remove, "remove " + url.path(), error)) {
        return false;
    }
    platform::Error failure;
    if (!root_->removeItem(url.path(), &failure)) {
        return fail(error, failure);
    }
    return true;
}

bool HostPrivilegeProvider::launchCommand(const std::string& commandLine, IKVLInternalError* error) {
    if (!begin(Operation::Launch, "run " + commandLine, error)) {
        return false;
    }
    // The shared command runner: a bounded wait, the output read while waiting; standard
    // error joins standard output, so that a failure says why. The launchctl lines of the
    // jobs need no shell, which spares a process per call and gives a root-run line nothing
    // to expand.
    std::string output;
    const auto words = plainLaunchctlWords(commandLine);
    const std::int32_t status = words ? KVLTaskUtil::launchProgram(*words, output, KVLTaskStandardError::JoinsOutput)
                                      : KVLTaskUtil::launchCommand("exec 2>&1; " + commandLine, output);
    if (status == -1) {
        return fail(error, platform::formatString("\"%@\" could not be started", commandLine), status);
    }
    if (status != 0) {
        return fail(error, platform::formatString("\"%@\" exited with status %d: %@", commandLine, status, output),
                    status);
    }
    return true;
}
