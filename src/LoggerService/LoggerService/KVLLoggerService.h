#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ErrorService/IKVLInternalError.h"
#include "LoggerService/IKVLLogger.h"
#include "LoggerService/IKVLLoggerManager.h"

// Makes the file loggers of createLoggerWithLogDir. The log file writer sits above the
// libraries it uses, which log through this service, so the program that links it sets it.
using KVLFileLoggerFactory = std::function<std::shared_ptr<IKVLLogger>(
    const std::optional<std::string>& logDir, const std::optional<std::string>& moduleName, std::uint64_t logLevel)>;

// The process-wide access point to the one logger. It exists from the first counted load to
// the last unload; while loaded it holds a manager that holds the logger.
class KVLLoggerService {
public:
    KVLLoggerService();
    ~KVLLoggerService();
    KVLLoggerService(const KVLLoggerService&) = delete;
    KVLLoggerService& operator=(const KVLLoggerService&) = delete;

    // The loaded service, or null.
    static std::shared_ptr<KVLLoggerService> sharedInstance();
    // argument is ignored (callers pass null); a missing record or one that already reports
    // failure makes a first load fail.
    static void load(const void* argument, IKVLInternalError* error);
    static void unload(IKVLInternalError* error);
    static bool isLoaded();
    static std::int64_t incrementLoadCount();
    static std::int64_t decrementLoadCount();
    // Used by the managers made from now on; null leaves createLoggerWithLogDir failing.
    static void setFileLoggerFactory(KVLFileLoggerFactory factory);

    void loadInstance(const void* argument, IKVLInternalError* error);
    void unloadInstance(IKVLInternalError* error);
    void createLoggerWithLogDir(const std::optional<std::string>& logDir, const std::optional<std::string>& moduleName,
                                std::uint64_t logLevel, IKVLInternalError* error);
    void createLoggerWithLogger(std::shared_ptr<IKVLLogger> logger, IKVLInternalError* error);
    // The manager's logger, or null when no logger was created.
    std::shared_ptr<IKVLLogger> getLogger();

    std::shared_ptr<IKVLLoggerManager> mLoggerManager() const;
    void setMLoggerManager(std::shared_ptr<IKVLLoggerManager> manager);

private:
    // The manager to create the first logger in; null, with the record filled and logged,
    // when a logger exists already.
    std::shared_ptr<IKVLLoggerManager> managerForNewLogger(IKVLInternalError* error, std::int64_t line);

    std::atomic<std::shared_ptr<IKVLLoggerManager>> mLoggerManager_;
};
