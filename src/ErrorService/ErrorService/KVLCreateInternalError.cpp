#include "ErrorService/KVLCreateInternalError.h"

#include "ErrorService/KVLErrorService.h"

std::unique_ptr<IKVLInternalError> KVLCreateInternalError() {
    if (const auto service = KVLErrorService::sharedInstance()) {
        if (const auto manager = service->errorManager()) {
            return manager->createInternalError();
        }
    }
    return nullptr;
}
