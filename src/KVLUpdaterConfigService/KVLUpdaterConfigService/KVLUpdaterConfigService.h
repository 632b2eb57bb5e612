#pragma once

#include <memory>

#include "KVLUpdaterConfigService/IKVLUpdateScheduler.h"
#include "KVLUpdaterConfigService/IKVLUpdaterPathHelper.h"
#include "KVLUpdaterConfigService/IKVLUpdaterSystemPreferences.h"

// The process-wide entry to the updater's configuration: a path helper of its own and the two
// settings records, read once at first use (null when their file was not there then).
class KVLUpdaterConfigService {
public:
    KVLUpdaterConfigService() = default;
    ~KVLUpdaterConfigService();
    KVLUpdaterConfigService(const KVLUpdaterConfigService&) = delete;
    KVLUpdaterConfigService& operator=(const KVLUpdaterConfigService&) = delete;

    static std::shared_ptr<KVLUpdaterConfigService> sharedInstance();

    std::shared_ptr<IKVLUpdaterPathHelper> updaterPathHelper() const { return mUpdaterPathHelper_; }
    void setMUpdaterPathHelper(std::shared_ptr<IKVLUpdaterPathHelper> helper) {
        mUpdaterPathHelper_ = std::move(helper);
    }
    std::shared_ptr<IKVLUpdaterSystemPreferences> updaterSystemPreferences() const {
        return mUpdaterSystemPreferences_;
    }
    void setMUpdaterSystemPreferences(std::shared_ptr<IKVLUpdaterSystemPreferences> preferences) {
        mUpdaterSystemPreferences_ = std::move(preferences);
    }
    std::shared_ptr<IKVLUpdateScheduler> updateScheduler() const { return mUpdateScheduler_; }
    void setMUpdateScheduler(std::shared_ptr<IKVLUpdateScheduler> scheduler) {
        mUpdateScheduler_ = std::move(scheduler);
    }

private:
    std::shared_ptr<IKVLUpdaterPathHelper> mUpdaterPathHelper_;
    std::shared_ptr<IKVLUpdaterSystemPreferences> mUpdaterSystemPreferences_;
    std::shared_ptr<IKVLUpdateScheduler> mUpdateScheduler_;
};
