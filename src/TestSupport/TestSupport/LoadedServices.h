#pragma once

#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLoggerService.h"

namespace kvltest {

// Unloads the logger and error services completely, whatever their load counts, so that no
// test inherits another's services. Header-only: only binaries that link the services use it.
inline void unloadAllServices() {
    while (KVLLoggerService::isLoaded()) {
        KVLLoggerService::unload(nullptr);
    }
    while (KVLErrorService::isLoaded()) {
        KVLErrorService::unload(nullptr);
    }
}

}  // namespace kvltest
