#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ErrorService/IKVLErrorManager.h"
#include "ErrorService/IKVLInternalError.h"
#include "ErrorService/IKVLStringManager.h"

// The process-wide access point to the error manager and the factory of string managers,
// counted like the logger service.
class KVLErrorService {
public:
    KVLErrorService();
    ~KVLErrorService();
    KVLErrorService(const KVLErrorService&) = delete;
    KVLErrorService& operator=(const KVLErrorService&) = delete;

    // The loaded service, or null.
    static std::shared_ptr<KVLErrorService> sharedInstance();
    // argument is ignored (callers pass null); errorSlot must be given and hold null: an
    // object in it after the instance load makes a first load fail.
    static void load(const void* argument, std::shared_ptr<platform::Error>* errorSlot);
    static void unload(IKVLInternalError* error);
    static bool isLoaded();
    static std::int64_t incrementLoadCount();
    static std::int64_t decrementLoadCount();

    void loadInstance(const void* argument, std::shared_ptr<platform::Error>* errorSlot);
    void unloadInstance(IKVLInternalError* error);
    // A new string manager for the two language ids; null when an id is
    // missing (the record then says which).
    std::shared_ptr<IKVLStringManager> createStringManagerWithDefaultLanguageId(
        const std::optional<std::string>& defaultLanguageId, const std::optional<std::string>& localeLanguageId,
        IKVLInternalError* error);
    std::shared_ptr<IKVLErrorManager> errorManager() const;

private:
    std::atomic<std::shared_ptr<IKVLErrorManager>> mErrorManager_;
};
