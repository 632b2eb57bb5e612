#include "LoggerService/Private/KVLLogUtil.h"

#include <memory>

#include "Platform/Bundle.h"
#include "Platform/Clock.h"
#include "Platform/Format.h"
#include "Platform/Locale.h"
#include "Platform/PathUtilities.h"
#include "Platform/ProcessInfo.h"
#include "Platform/SearchPaths.h"

std::string KVLLogUtil::getLogFileNameWithPid(int pid, const std::string& moduleName) {
    const std::shared_ptr<platform::Bundle> mainBundle = platform::Bundle::mainBundle();
    const std::optional<std::string> bundleName =
        mainBundle ? std::optional(platform::PathUtilities::lastPathComponent(mainBundle->bundlePath())) : std::nullopt;
    // The name users know the machine by is its host name on this platform.
    return platform::formatString(
        "%@_%@_%@_%d(%@)_%@.%@", logFileDateFormatterFile().stringFromDate(platform::Clock::now()),
        platform::SearchPaths::userName(), platform::ProcessInfo::hostName(), pid, bundleName, moduleName, "log");
}

const platform::DateFormatter& KVLLogUtil::logFileDateFormatterMsg() {
    thread_local const platform::DateFormatter formatter("yyMMdd HHmmss.SSS", platform::Locale("en_US"));
    return formatter;
}

const platform::DateFormatter& KVLLogUtil::logFileDateFormatterFile() {
    thread_local const platform::DateFormatter formatter("yyyy-MM-dd HH-mm-ss", platform::Locale("en_US"));
    return formatter;
}
