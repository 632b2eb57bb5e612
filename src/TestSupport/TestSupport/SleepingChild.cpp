#include "TestSupport/SleepingChild.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace kvltest {

namespace {

constexpr char kSleepOption[] = "--kvl-test-child-sleep";

// Run by the C library before main with the process's arguments, as the writing child is.
void sleepAsChildIfAsked(int argc, char** argv, char**) {
    if (argc >= 2 && std::strcmp(argv[1], kSleepOption) == 0) {
        for (;;) {
            ::pause();
        }
    }
}

[[gnu::used, gnu::section(".init_array")]] void (*const kSleepHook)(int, char**, char**) = &sleepAsChildIfAsked;

}  // namespace

std::string installTestExecutable(const std::string& bundlePath, const std::string& name) {
    const std::filesystem::path folder = std::filesystem::path(bundlePath) / "Contents" / "MacOS";
    std::filesystem::create_directories(folder);
    const std::filesystem::path executable = folder / name;
    std::filesystem::copy_file("/proc/self/exe", executable, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(executable, std::filesystem::perms::owner_all);
    return executable.string();
}

std::vector<std::string> sleepingChildArguments() { return {kSleepOption}; }

}  // namespace kvltest
