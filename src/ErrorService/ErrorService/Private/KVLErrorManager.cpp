#include "ErrorService/Private/KVLErrorManager.h"

#include "ErrorService/Private/KVLError.h"
#include "ErrorService/Private/KVLInternalError.h"

std::unique_ptr<IKVLError> KVLErrorManager::createError() { return std::make_unique<KVLError>(); }

std::unique_ptr<IKVLInternalError> KVLErrorManager::createInternalError() {
    return std::make_unique<KVLInternalError>();
}
