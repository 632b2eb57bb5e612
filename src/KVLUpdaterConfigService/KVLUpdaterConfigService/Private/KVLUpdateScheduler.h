#pragma once

#include <memory>
#include <mutex>

#include "KVLUpdaterConfigService/IKVLUpdateScheduler.h"
#include "Platform/Date.h"

class KVLUpdateScheduler : public IKVLUpdateScheduler {
public:
    KVLUpdateScheduler() = default;
    explicit KVLUpdateScheduler(const platform::PlistDictionary& dictionary);

    // The record of the installed schedule file; null when it is missing, unreadable or not a
    // dictionary.
    static std::shared_ptr<KVLUpdateScheduler> createFromUpdateSchedulerPlist();
    // Null for a null dictionary.
    static std::shared_ptr<KVLUpdateScheduler> initWithDictionary(
        const std::optional<platform::PlistDictionary>& dictionary);
    // Today at the "HH:mm" time of day (ASCII digits whatever the locale), local time; null
    // for a null or unparseable text.
    static std::optional<platform::Date> convertTimeStringToDate(const std::optional<std::string>& timeOfDay);

    bool writeToUpdateSchedulerPlist(const WriteOperation& write) override;
    bool isNextUpdateTimeExceeded() override;
    void reCalculateNextUpdateTime() override;

    std::optional<std::string> mstrNextUpdateTime() const override;
    void setMstrNextUpdateTime(std::optional<std::string> value) override;
    std::optional<std::string> mstrUpdateDuration() const override;
    void setMstrUpdateDuration(std::optional<std::string> value) override;
    std::optional<std::string> mstrUpdateCheckStartTime() const override;
    void setMstrUpdateCheckStartTime(std::optional<std::string> value) override;
    std::optional<std::string> mstrUpdateCheckEndTime() const override;
    void setMstrUpdateCheckEndTime(std::optional<std::string> value) override;

private:
    std::optional<std::string> get(const std::optional<std::string>& field) const;
    void set(std::optional<std::string>& field, std::optional<std::string> value);

    mutable std::mutex mutex_;
    std::optional<std::string> mstrNextUpdateTime_;
    std::optional<std::string> mstrUpdateDuration_;
    std::optional<std::string> mstrUpdateCheckStartTime_;
    std::optional<std::string> mstrUpdateCheckEndTime_;
};
