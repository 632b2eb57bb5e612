#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "Platform/Console.h"

namespace kvltest {

// Captures the console's messages for the lifetime of the object, then restores the sink.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::vector<std::string> messages() const;
    bool contains(const std::string& message) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    platform::Console::Sink previous_;
};

}  // namespace kvltest
