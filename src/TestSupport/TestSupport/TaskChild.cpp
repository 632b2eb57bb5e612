#include "TestSupport/TaskChild.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Platform/Format.h"

namespace kvltest {

namespace {

constexpr char kWriteOption[] = "--kvl-test-child-write=";

// Run by the C library before main with the process's arguments: a child does its work and
// exits here, so neither the test framework nor the tests ever start in it.
void runAsChildIfAsked(int argc, char** argv, char**) {
    if (argc < 2 || std::strncmp(argv[1], kWriteOption, sizeof(kWriteOption) - 1) != 0) {
        return;
    }
    const std::string output = childOutput(std::strtoull(argv[1] + sizeof(kWriteOption) - 1, nullptr, 10));
    for (std::size_t written = 0; written < output.size();) {
        const ssize_t count = ::write(STDOUT_FILENO, output.data() + written, output.size() - written);
        if (count <= 0) {
            ::_exit(1);
        }
        written += static_cast<std::size_t>(count);
    }
    ::_exit(0);
}

[[gnu::used, gnu::section(".init_array")]] void (*const kChildHook)(int, char**, char**) = &runAsChildIfAsked;

}  // namespace

std::string childWritingCommand(std::size_t count) {
    return platform::shellQuoted(std::filesystem::read_symlink("/proc/self/exe").string()) + " " + kWriteOption +
           std::to_string(count);
}

std::string childOutput(std::size_t count) {
    std::string output;
    for (std::size_t index = 0; index < count; ++index)
        output += static_cast<char>('a' + index % 26);
    return output;
}

}  // namespace kvltest
