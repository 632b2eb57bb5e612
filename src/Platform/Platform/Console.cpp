#include "Platform/Console.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <mutex>

#include "Platform/ProcessInfo.h"
#include "Platform/WriteAll.h"

namespace platform {

namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

Console::Sink& currentSink() {
    static Console::Sink sink;
    return sink;
}

}  // namespace

std::string Console::formatLine(std::string_view message) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    // A message that ends its own line gets no second line end.
    const std::string_view end = message.ends_with('\n') ? "" : "\n";
    return formatString("%s.%03d %@[%d:%llu] %@%@", stamp, static_cast<int>(millis), ProcessInfo::processName(),
                        ProcessInfo::processIdentifier(), ProcessInfo::systemThreadID(), message, end);
}

void Console::log(std::string_view message) {
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(message);
        return;
    }
    writeAll(STDERR_FILENO, formatLine(message));  // nothing more to do when the console is gone
}

Console::Sink Console::setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    Sink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

}  // namespace platform
