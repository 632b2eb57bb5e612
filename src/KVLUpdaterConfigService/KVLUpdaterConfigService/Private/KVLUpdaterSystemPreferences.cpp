#include "KVLUpdaterConfigService/Private/KVLUpdaterSystemPreferences.h"

#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "KVLUpdaterConfigService/Private/KVLSettingsText.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"
#include "Platform/PropertyListSerialization.h"
#include "Platform/Scanner.h"

namespace {
constexpr std::uint32_t kInfoLevel = 0xF0000000;
constexpr std::uint32_t kMeaningfulBits = 0xF1000008;
}  // namespace

KVLUpdaterSystemPreferences::KVLUpdaterSystemPreferences(const platform::PlistDictionary& dictionary)
    : mstrLogLevel_(KVLSettingsText(dictionary, "LogLevel")), mstrLocale_(KVLSettingsText(dictionary, "Locale")) {}

std::shared_ptr<KVLUpdaterSystemPreferences> KVLUpdaterSystemPreferences::createFromUpdaterSystemPreferencesPlist() {
    const auto url = KVLUpdaterPathHelper::sharedInstance()->destinationOfUpdaterSystemPreferencesPListURL();
    return initWithDictionary(
        platform::PropertyListSerialization::dictionaryWithContentsOfFile(url->path(), kKVLSettingsFileMaximumSize));
}

std::shared_ptr<KVLUpdaterSystemPreferences> KVLUpdaterSystemPreferences::initWithDictionary(
    const std::optional<platform::PlistDictionary>& dictionary) {
    return dictionary ? std::make_shared<KVLUpdaterSystemPreferences>(*dictionary) : nullptr;
}

bool KVLUpdaterSystemPreferences::validateLogLevel(std::uint32_t level) {
    return level == 0 || level == 0xFFFFFFFF || (level & kMeaningfulBits) == level;
}

bool KVLUpdaterSystemPreferences::writeToUpdaterSystemPreferencesPlist() {
    const auto locale = mstrLocale();
    const auto logLevel = mstrLogLevel();
    if (!locale || !logLevel) {
        return false;
    }
    const platform::PlistDictionary dictionary{{"LogLevel", platform::PlistValue(*logLevel)},
                                               {"Locale", platform::PlistValue(*locale)}};
    const auto url =
        KVLUpdaterConfigService::sharedInstance()->updaterPathHelper()->destinationOfUpdaterSystemPreferencesPListURL();
    return url && platform::PropertyListSerialization::writeToFile(platform::PlistValue(dictionary), url->path());
}

std::int32_t KVLUpdaterSystemPreferences::logLevel() {
    const auto text = mstrLogLevel();
    if (!text || text->empty()) {
        return static_cast<std::int32_t>(kInfoLevel);
    }
    std::uint32_t level = 0;
    if (text->rfind("0x", 0) == 0 || text->rfind("0X", 0) == 0) {
        if (!platform::Scanner::scanHexInt(*text, &level)) {
            return static_cast<std::int32_t>(kInfoLevel);
        }
    } else {
        level = static_cast<std::uint32_t>(platform::Scanner::intValue(*text));
    }
    if (!validateLogLevel(level)) {
        return static_cast<std::int32_t>(kInfoLevel);
    }
    return static_cast<std::int32_t>(level | kInfoLevel);
}

std::optional<std::string> KVLUpdaterSystemPreferences::mstrLogLevel() const {
    std::lock_guard lock(mutex_);
    return mstrLogLevel_;
}

void KVLUpdaterSystemPreferences::setMstrLogLevel(std::optional<std::string> logLevel) {
    std::lock_guard lock(mutex_);
    mstrLogLevel_ = std::move(logLevel);
}

std::optional<std::string> KVLUpdaterSystemPreferences::mstrLocale() const {
    std::lock_guard lock(mutex_);
    return mstrLocale_;
}

void KVLUpdaterSystemPreferences::setMstrLocale(std::optional<std::string> locale) {
    std::lock_guard lock(mutex_);
    mstrLocale_ = std::move(locale);
}
