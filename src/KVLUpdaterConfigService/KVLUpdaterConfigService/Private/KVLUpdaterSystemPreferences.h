#pragma once

#include <memory>
#include <mutex>

#include "KVLUpdaterConfigService/IKVLUpdaterSystemPreferences.h"
#include "Platform/PlistValue.h"

class KVLUpdaterSystemPreferences : public IKVLUpdaterSystemPreferences {
public:
    KVLUpdaterSystemPreferences() = default;
    explicit KVLUpdaterSystemPreferences(const platform::PlistDictionary& dictionary);

    // The record of the installed preferences file; null when it is missing, unreadable or
    // not a dictionary.
    static std::shared_ptr<KVLUpdaterSystemPreferences> createFromUpdaterSystemPreferencesPlist();
    // Null for a null dictionary.
    static std::shared_ptr<KVLUpdaterSystemPreferences> initWithDictionary(
        const std::optional<platform::PlistDictionary>& dictionary);
    // 0 and 0xFFFFFFFF, and any value within the meaningful bits 0xF1000008.
    static bool validateLogLevel(std::uint32_t level);

    bool writeToUpdaterSystemPreferencesPlist() override;
    std::int32_t logLevel() override;
    std::optional<std::string> mstrLogLevel() const override;
    void setMstrLogLevel(std::optional<std::string> logLevel) override;
    std::optional<std::string> mstrLocale() const override;
    void setMstrLocale(std::optional<std::string> locale) override;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> mstrLogLevel_;
    std::optional<std::string> mstrLocale_;
};
