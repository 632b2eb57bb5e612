#pragma once

#include <memory>

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "LoggerService/KVLLoggerService.h"
#include "TestSupport/RecordingLogger.h"

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

// Loads the error and logger services, bound to a recording logger, for its lifetime; unloads
// them completely afterwards.
class ServicesWithRecordingLogger {
public:
    ServicesWithRecordingLogger() {
        unloadAllServices();
        std::shared_ptr<platform::Error> slot;
        KVLErrorService::load(nullptr, &slot);
        const auto record = KVLCreateInternalError();
        KVLLoggerService::load(nullptr, record.get());
        KVLLoggerService::sharedInstance()->createLoggerWithLogger(logger, record.get());
    }
    ~ServicesWithRecordingLogger() { unloadAllServices(); }
    ServicesWithRecordingLogger(const ServicesWithRecordingLogger&) = delete;
    ServicesWithRecordingLogger& operator=(const ServicesWithRecordingLogger&) = delete;

    const std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
};

}  // namespace kvltest
