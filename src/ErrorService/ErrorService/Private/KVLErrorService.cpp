#include "ErrorService/KVLErrorService.h"

#include "ErrorService/KVLLoadCount.h"
#include "ErrorService/Private/KVLErrorManager.h"
#include "ErrorService/Private/KVLStringManager.h"
#include "Platform/Console.h"
#include "Platform/SourcePath.h"

namespace {

std::atomic<std::shared_ptr<KVLErrorService>> sSharedInstance;
KVLLoadCount slLoadCount;

}  // namespace

KVLErrorService::KVLErrorService() = default;
KVLErrorService::~KVLErrorService() = default;

std::shared_ptr<KVLErrorService> KVLErrorService::sharedInstance() { return sSharedInstance.load(); }

void KVLErrorService::load(const void* argument, std::shared_ptr<platform::Error>* errorSlot) {
    if (!isLoaded()) {
        auto service = std::make_shared<KVLErrorService>();
        service->loadInstance(argument, errorSlot);
        if (errorSlot == nullptr || *errorSlot) {
            return;
        }
        sSharedInstance.store(std::move(service));
    }
    incrementLoadCount();
}

void KVLErrorService::unload(IKVLInternalError* error) {
    if (!isLoaded()) {
        return;
    }
    if (decrementLoadCount() > 0) {
        return;
    }
    if (auto service = sSharedInstance.exchange(nullptr)) {
        service->unloadInstance(error);
    }
}

bool KVLErrorService::isLoaded() { return slLoadCount.isLoaded(); }
std::int64_t KVLErrorService::incrementLoadCount() { return slLoadCount.increment(); }
std::int64_t KVLErrorService::decrementLoadCount() { return slLoadCount.decrement(); }

void KVLErrorService::loadInstance(const void* /*argument*/, std::shared_ptr<platform::Error>* /*errorSlot*/) {
    mErrorManager_.store(std::make_shared<KVLErrorManager>());
}

void KVLErrorService::unloadInstance(IKVLInternalError* /*error*/) {}

std::shared_ptr<IKVLStringManager> KVLErrorService::createStringManagerWithDefaultLanguageId(
    const std::optional<std::string>& defaultLanguageId, const std::optional<std::string>& localeLanguageId,
    IKVLInternalError* error) {
    const auto reportMissing = [error](const char* message, std::int64_t code, std::int64_t line) {
        if (error != nullptr) {
            error->populateWithErrorMessage(message, code, KVLInternalErrorTypeOther, KVL_SOURCE_PATH, line,
                                            std::nullopt);
        }
        platform::Console::logFormat("Kenvault :: %s", message);
    };
    if (!defaultLanguageId) {
        reportMissing("Unable to create String Manager object since Default Language Id is not found.",
                      KVLErrorCodeDefaultLanguageIdMissing, __LINE__);
        return nullptr;
    }
    if (!localeLanguageId) {
        reportMissing("Unable to create String Manager object since Locale Language Id is not found.",
                      KVLErrorCodeLocaleLanguageIdMissing, __LINE__);
        return nullptr;
    }
    return std::make_shared<KVLStringManager>(defaultLanguageId, localeLanguageId);
}

std::shared_ptr<IKVLErrorManager> KVLErrorService::errorManager() const { return mErrorManager_.load(); }
