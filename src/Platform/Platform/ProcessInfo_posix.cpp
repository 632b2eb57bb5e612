#include "Platform/ProcessInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <mutex>

#include "Platform/Format.h"

extern char** environ;

namespace platform {

namespace {

std::mutex& kernelNameMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& kernelNameForTesting() {
    static std::optional<std::string> name;
    return name;
}

std::string kernelName() {
    {
        std::lock_guard lock(kernelNameMutex());
        if (kernelNameForTesting()) {
            return *kernelNameForTesting();
        }
    }
    utsname system{};
    return ::uname(&system) == 0 ? std::string(system.sysname) : std::string();
}

}  // namespace

int ProcessInfo::processIdentifier() { return static_cast<int>(::getpid()); }

std::map<std::string, std::string> ProcessInfo::environment() {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string_view::npos) {
            variables.emplace(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    return variables;
}

std::string ProcessInfo::hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string ProcessInfo::operatingSystemName() {
    const std::string kernel = kernelName();
    return kernel == "Darwin" ? "NSMACHOperatingSystem" : kernel;
}

void ProcessInfo::setKernelNameForTesting(std::optional<std::string> name) {
    std::lock_guard lock(kernelNameMutex());
    kernelNameForTesting() = std::move(name);
}

std::string ProcessInfo::operatingSystemVersionString() {
    utsname system{};
    if (::uname(&system) != 0) {
        return {};
    }
    return formatString("Version %s (Build %s)", system.release, system.version);
}

}  // namespace platform
