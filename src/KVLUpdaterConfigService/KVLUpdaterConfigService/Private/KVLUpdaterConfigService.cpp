#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"

#include "KVLUpdaterConfigService/Private/KVLUpdateScheduler.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterSystemPreferences.h"

KVLUpdaterConfigService::~KVLUpdaterConfigService() { setMUpdaterPathHelper(nullptr); }

std::shared_ptr<KVLUpdaterConfigService> KVLUpdaterConfigService::sharedInstance() {
    static const std::shared_ptr<KVLUpdaterConfigService> sSharedInstance = [] {
        auto service = std::make_shared<KVLUpdaterConfigService>();
        service->setMUpdaterPathHelper(std::make_shared<KVLUpdaterPathHelper>());
        service->setMUpdaterSystemPreferences(KVLUpdaterSystemPreferences::createFromUpdaterSystemPreferencesPlist());
        service->setMUpdateScheduler(KVLUpdateScheduler::createFromUpdateSchedulerPlist());
        return service;
    }();
    return sSharedInstance;
}
