#include "LoggerService/Private/KVLLoggerManager.h"

#include "Platform/SourcePath.h"

void KVLLoggerManager::createLoggerWithLogDir(const std::optional<std::string>& logDir,
                                              const std::optional<std::string>& moduleName, std::uint64_t logLevel,
                                              IKVLInternalError* error) {
    if (!fileLoggers_) {
        if (error != nullptr) {
            error->populateWithErrorMessage("No file logger factory is set", KVLErrorCodeUninitializedObject,
                                            KVLInternalErrorTypeInternal, KVL_SOURCE_PATH, __LINE__, std::nullopt);
        }
        return;
    }
    // Creating a file logger never fails: one whose file cannot be opened writes nothing.
    setMLogger((*fileLoggers_)(logDir, moduleName, logLevel));
}

void KVLLoggerManager::createLoggerWithLogger(std::shared_ptr<IKVLLogger> logger, IKVLInternalError* error) {
    if (!logger) {
        if (error != nullptr) {
            error->populateWithErrorMessage("pLogger != nil", KVLErrorCodeInvalidParameters,
                                            KVLInternalErrorTypeInternal, KVL_SOURCE_PATH, __LINE__, std::nullopt);
        }
        return;
    }
    setMLogger(std::move(logger));
}

std::shared_ptr<IKVLLogger> KVLLoggerManager::getLogger() { return mLogger(); }
