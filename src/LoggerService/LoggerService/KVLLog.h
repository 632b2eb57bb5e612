#pragma once

#include <cstdint>
#include <string_view>

#include "ErrorService/IKVLInternalError.h"
#include "LoggerService/KVLLoggerService.h"
#include "Platform/SourcePath.h"

// How a component logs: the logger is fetched from the service on every call, and a call made
// while there is no logger does nothing.
template <typename... Args>
void KVLLogMessage(std::uint64_t level, std::string_view fileName, std::int64_t lineNo, std::string_view format,
                   const Args&... args) {
    if (const auto service = KVLLoggerService::sharedInstance()) {
        if (const auto logger = service->getLogger()) {
            logger->logMessage(format, level, fileName, lineNo, args...);
        }
    }
}

// Logs a filled record at the error level with "%@" and the record's own file and line.
void KVLLogInternalError(const IKVLInternalError& error);

// KVL_LOG(KVLLogLevelInfo, "Copied %@", path): logs with the calling file's source path and line.
#define KVL_LOG(level, ...) KVLLogMessage((level), KVL_SOURCE_PATH, __LINE__, __VA_ARGS__)
