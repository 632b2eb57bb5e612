#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Platform/Format.h"

namespace platform {

// The process's console (the NSLog stand-in): one line per message on standard error, with
// the time, the process name, the pid and the thread. Tests replace the sink to capture the
// messages themselves.
class Console {
public:
    using Sink = std::function<void(std::string_view message)>;

    static void log(std::string_view message);

    template <typename... Args>
    static void logFormat(std::string_view format, const Args&... args) {
        log(formatString(format, args...));
    }

    // Installs a sink that receives every message (without the line prefix) and returns the
    // one it replaces; an empty sink restores the standard-error writer.
    static Sink setSink(Sink sink);

    // The line the standard-error writer prints for a message, newline included (one only,
    // when the message ends with its own).
    static std::string formatLine(std::string_view message);
};

}  // namespace platform
