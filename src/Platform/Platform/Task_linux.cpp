#include <sys/syscall.h>
#include <unistd.h>

#include "Platform/TaskChildEnd.h"

namespace platform::detail {

int openChildEndDescriptor(int pid) {
    // A process descriptor (Linux 5.3); it is opened closed-on-exec.
    const long descriptor = ::syscall(SYS_pidfd_open, pid, 0);
    return descriptor < 0 ? -1 : static_cast<int>(descriptor);
}

}  // namespace platform::detail
