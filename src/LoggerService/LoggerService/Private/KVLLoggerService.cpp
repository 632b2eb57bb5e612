#include "LoggerService/KVLLoggerService.h"

#include "ErrorService/KVLErrorService.h"
#include "ErrorService/KVLLoadCount.h"
#include "LoggerService/KVLLog.h"
#include "LoggerService/Private/KVLLoggerManager.h"
#include "Platform/Console.h"
#include "Platform/SourcePath.h"

namespace {

std::atomic<std::shared_ptr<KVLLoggerService>> sSharedInstance;
KVLLoadCount slLoadCount;
std::atomic<std::shared_ptr<const KVLFileLoggerFactory>> sFileLoggerFactory;

}  // namespace

KVLLoggerService::KVLLoggerService() = default;
KVLLoggerService::~KVLLoggerService() = default;

std::shared_ptr<KVLLoggerService> KVLLoggerService::sharedInstance() { return sSharedInstance.load(); }

void KVLLoggerService::load(const void* argument, IKVLInternalError* error) {
    if (!isLoaded()) {
        auto service = std::make_shared<KVLLoggerService>();
        service->loadInstance(argument, error);
        // Success is read from the record only; a missing record counts as failure.
        if (error == nullptr || !error->isSuccess()) {
            return;
        }
        sSharedInstance.store(std::move(service));
    }
    incrementLoadCount();
}

void KVLLoggerService::unload(IKVLInternalError* error) {
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

bool KVLLoggerService::isLoaded() { return slLoadCount.isLoaded(); }
std::int64_t KVLLoggerService::incrementLoadCount() { return slLoadCount.increment(); }
std::int64_t KVLLoggerService::decrementLoadCount() { return slLoadCount.decrement(); }

void KVLLoggerService::loadInstance(const void* /*argument*/, IKVLInternalError* /*error*/) {
    if (!KVLErrorService::isLoaded()) {
        platform::Console::log("Kenvault :: Unable to load the Error");
    }
}

void KVLLoggerService::unloadInstance(IKVLInternalError* /*error*/) {}

void KVLLoggerService::createLoggerWithLogDir(const std::optional<std::string>& logDir,
                                              const std::optional<std::string>& moduleName, std::uint64_t logLevel,
                                              IKVLInternalError* error) {
    if (auto manager = managerForNewLogger(error, __LINE__)) {
        manager->createLoggerWithLogDir(logDir, moduleName, logLevel, error);
    }
}

void KVLLoggerService::createLoggerWithLogger(std::shared_ptr<IKVLLogger> logger, IKVLInternalError* error) {
    if (auto manager = managerForNewLogger(error, __LINE__)) {
        manager->createLoggerWithLogger(std::move(logger), error);
    }
}

std::shared_ptr<IKVLLoggerManager> KVLLoggerService::managerForNewLogger(IKVLInternalError* error, std::int64_t line) {
    // A manager that a refused request (a null logger) left without a logger holds none.
    if (!getLogger()) {
        auto manager = std::make_shared<KVLLoggerManager>(sFileLoggerFactory.load());
        setMLoggerManager(manager);
        return manager;
    }
    if (error != nullptr) {
        error->populateWithErrorMessage("Logger is already initialized", KVLErrorCodeAlreadyInitialized,
                                        KVLInternalErrorTypeInternal, KVL_SOURCE_PATH, line, std::nullopt);
        if (const auto logger = getLogger()) {
            logger->logMessage("%@", KVLLogLevelError, error->getFileName().value_or(""), error->getLineNo(), *error);
        }
    }
    return nullptr;
}

std::shared_ptr<IKVLLogger> KVLLoggerService::getLogger() {
    const auto manager = mLoggerManager();
    return manager ? manager->getLogger() : nullptr;
}

void KVLLoggerService::setFileLoggerFactory(KVLFileLoggerFactory factory) {
    sFileLoggerFactory.store(factory ? std::make_shared<const KVLFileLoggerFactory>(std::move(factory)) : nullptr);
}

std::shared_ptr<IKVLLoggerManager> KVLLoggerService::mLoggerManager() const { return mLoggerManager_.load(); }

void KVLLoggerService::setMLoggerManager(std::shared_ptr<IKVLLoggerManager> manager) {
    mLoggerManager_.store(std::move(manager));
}
