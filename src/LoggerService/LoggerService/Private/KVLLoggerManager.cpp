#include "LoggerService/Private/KVLLoggerManager.h"

#include "LoggerService/Private/KVLLoggerFile.h"
#include "Platform/SourcePath.h"

void KVLLoggerManager::createLoggerWithLogDir(const std::optional<std::string>& logDir,
                                              const std::optional<std::string>& moduleName, std::uint64_t logLevel,
                                              IKVLInternalError* /*error*/) {
    // Creating a file logger never fails: one whose file cannot be opened writes nothing.
    setMLogger(std::make_shared<KVLLoggerFile>(logDir, moduleName, logLevel));
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
