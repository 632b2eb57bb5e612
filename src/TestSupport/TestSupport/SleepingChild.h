#pragma once

#include <string>
#include <vector>

namespace kvltest {

// Copies the running test binary to "<bundle>/Contents/MacOS/<name>" (folders made, owner may
// run it) and answers its path: a process started from the copy is a process of that bundle.
std::string installTestExecutable(const std::string& bundlePath, const std::string& name);

// The arguments that make a copy of the test binary wait, before any test starts, until a
// signal ends it.
std::vector<std::string> sleepingChildArguments();

}  // namespace kvltest
