#include "LoggerService/Private/KVLLoggerManager.h"

#include "Platform/SourcePath.h"

void KVLLoggerManager::createLoggerWithLogDir(const std::optional<std::string>& /*logDir*/,
                                              const std::optional<std::string>& /*moduleName*/,
                                              std::uint64_t /*logLevel*/, IKVLInternalError* error) {
    // The file logger is not part of this build yet: say so rather than pretend.
    if (error != nullptr) {
        error->populateWithErrorMessage("File logger is not available", KVLErrorCodeUnexpected,
                                        KVLInternalErrorTypeInternal, KVL_SOURCE_PATH, __LINE__, std::nullopt);
    }
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
