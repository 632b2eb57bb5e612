#pragma once

// What the POSIX task needs beyond POSIX, from the operating system's own file.
namespace platform::detail {

// A descriptor that polls readable once the child pid has ended (and stays so until it is
// reaped), closed on exec; -1 where the system offers none, and the task then looks for the
// child's end every few milliseconds instead.
int openChildEndDescriptor(int pid);

}  // namespace platform::detail
