#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ErrorService/IKVLInternalError.h"
#include "LoggerService/IKVLLogger.h"

// Holds the one logger of the logger service.
class IKVLLoggerManager {
public:
    virtual ~IKVLLoggerManager() = default;

    virtual void createLoggerWithLogDir(const std::optional<std::string>& logDir,
                                        const std::optional<std::string>& moduleName, std::uint64_t logLevel,
                                        IKVLInternalError* error) = 0;
    virtual void createLoggerWithLogger(std::shared_ptr<IKVLLogger> logger, IKVLInternalError* error) = 0;
    virtual std::shared_ptr<IKVLLogger> getLogger() = 0;
};
