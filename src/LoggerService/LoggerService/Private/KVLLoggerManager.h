#pragma once

#include <atomic>
#include <memory>

#include "LoggerService/IKVLLoggerManager.h"

// Holds the logger service's one logger: the caller's, or a file logger of its own.
class KVLLoggerManager : public IKVLLoggerManager {
public:
    // Keeps a new file logger (replacing any earlier logger); the record is never filled.
    void createLoggerWithLogDir(const std::optional<std::string>& logDir, const std::optional<std::string>& moduleName,
                                std::uint64_t logLevel, IKVLInternalError* error) override;
    // A null logger is refused with the record filled (invalid parameters); the kept logger stays.
    void createLoggerWithLogger(std::shared_ptr<IKVLLogger> logger, IKVLInternalError* error) override;
    std::shared_ptr<IKVLLogger> getLogger() override;

    std::shared_ptr<IKVLLogger> mLogger() const { return mLogger_.load(); }
    void setMLogger(std::shared_ptr<IKVLLogger> logger) { mLogger_.store(std::move(logger)); }

private:
    std::atomic<std::shared_ptr<IKVLLogger>> mLogger_;
};
