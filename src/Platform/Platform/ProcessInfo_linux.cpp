#include "Platform/ProcessInfo.h"

#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>  // program_invocation_short_name

namespace platform {

std::uint64_t ProcessInfo::systemThreadID() { return static_cast<std::uint64_t>(::syscall(SYS_gettid)); }

std::string ProcessInfo::processName() {
    return program_invocation_short_name != nullptr ? program_invocation_short_name : "";
}

}  // namespace platform
