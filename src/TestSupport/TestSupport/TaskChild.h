#pragma once

#include <cstddef>
#include <string>

namespace kvltest {

// A shell command line that re-runs the current test binary as a child which writes count
// bytes of childOutput(count) to its standard output and exits with status 0, before any test
// starts.
std::string childWritingCommand(std::size_t count);

// The bytes such a child writes: the letters a to z, over and over.
std::string childOutput(std::size_t count);

}  // namespace kvltest
