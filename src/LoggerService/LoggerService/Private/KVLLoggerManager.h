#pragma once

#include <atomic>
#include <memory>

#include "LoggerService/IKVLLoggerManager.h"
#include "LoggerService/KVLLoggerService.h"

// Holds the logger service's one logger: the caller's, or a file logger made by the factory.
class KVLLoggerManager : public IKVLLoggerManager {
public:
    explicit KVLLoggerManager(std::shared_ptr<const KVLFileLoggerFactory> fileLoggers)
        : fileLoggers_(std::move(fileLoggers)) {}

    // Keeps a new file logger (replacing any earlier logger). Only a missing factory fills the
    // record (uninitialized object).
    void createLoggerWithLogDir(const std::optional<std::string>& logDir, const std::optional<std::string>& moduleName,
                                std::uint64_t logLevel, IKVLInternalError* error) override;
    // A null logger is refused with the record filled (invalid parameters); the kept logger stays.
    void createLoggerWithLogger(std::shared_ptr<IKVLLogger> logger, IKVLInternalError* error) override;
    std::shared_ptr<IKVLLogger> getLogger() override;

    std::shared_ptr<IKVLLogger> mLogger() const { return mLogger_.load(); }
    void setMLogger(std::shared_ptr<IKVLLogger> logger) { mLogger_.store(std::move(logger)); }

private:
    const std::shared_ptr<const KVLFileLoggerFactory> fileLoggers_;
    std::atomic<std::shared_ptr<IKVLLogger>> mLogger_;
};
