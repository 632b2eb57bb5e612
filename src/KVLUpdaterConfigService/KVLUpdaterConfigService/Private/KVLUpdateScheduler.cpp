#include "KVLUpdaterConfigService/Private/KVLUpdateScheduler.h"

#include <algorithm>
#include <cstdint>

#include "KVLSharedUtil/NSDate+KVLExtensions.h"
#include "KVLUpdaterConfigService/KVLUpdaterConfigService.h"
#include "KVLUpdaterConfigService/Private/KVLSettingsText.h"
#include "KVLUpdaterConfigService/Private/KVLUpdaterPathHelper.h"
#include "LoggerService/KVLLog.h"
#include "Platform/Calendar.h"
#include "Platform/Clock.h"
#include "Platform/DateFormatter.h"
#include "Platform/PropertyListSerialization.h"
#include "Platform/Random.h"
#include "Platform/Scanner.h"

namespace {

constexpr const char* kNextUpdateTime = "Next Update Time";
constexpr const char* kUpdateDuration = "Update Duration";
constexpr const char* kUpdateCheckStartTime = "Update Check Start Time 24hr Format";
constexpr const char* kUpdateCheckEndTime = "Update Check End Time 24hr Format";
constexpr const char* kDueTimePattern = "yyyy-MM-dd'T'HH:mm:ssZ";
// The file's times are data, not text for a reader: they are written and read in one fixed
// locale (Gregorian calendar, ASCII digits), whatever the current locale's calendar or digits.
constexpr const char* kFileLocale = "en_US";
constexpr double kSecondsPerDay = 86400.0;

}  // namespace

KVLUpdateScheduler::KVLUpdateScheduler(const platform::PlistDictionary& dictionary)
    : mstrNextUpdateTime_(KVLSettingsText(dictionary, kNextUpdateTime)),
      mstrUpdateDuration_(KVLSettingsText(dictionary, kUpdateDuration)),
      mstrUpdateCheckStartTime_(KVLSettingsText(dictionary, kUpdateCheckStartTime)),
      mstrUpdateCheckEndTime_(KVLSettingsText(dictionary, kUpdateCheckEndTime)) {}

std::shared_ptr<KVLUpdateScheduler> KVLUpdateScheduler::createFromUpdateSchedulerPlist() {
    const auto url = KVLUpdaterPathHelper::sharedInstance()->destinationOfUpdateSchedulerPlist();
    return initWithDictionary(
        platform::PropertyListSerialization::dictionaryWithContentsOfFile(url->path(), kKVLSettingsFileMaximumSize));
}

std::shared_ptr<KVLUpdateScheduler> KVLUpdateScheduler::initWithDictionary(
    const std::optional<platform::PlistDictionary>& dictionary) {
    return dictionary ? std::make_shared<KVLUpdateScheduler>(*dictionary) : nullptr;
}

bool KVLUpdateScheduler::writeToUpdateSchedulerPlist(const WriteOperation& write) {
    const auto next = mstrNextUpdateTime();
    const auto end = mstrUpdateCheckEndTime();
    const auto start = mstrUpdateCheckStartTime();
    const auto duration = mstrUpdateDuration();
    if (!next || !end || !start || !duration || !write) {
        return false;
    }
    const platform::PlistDictionary dictionary{{kNextUpdateTime, platform::PlistValue(*next)},
                                               {kUpdateDuration, platform::PlistValue(*duration)},
                                               {kUpdateCheckStartTime, platform::PlistValue(*start)},
                                               {kUpdateCheckEndTime, platform::PlistValue(*end)}};
    const auto url =
        KVLUpdaterConfigService::sharedInstance()->updaterPathHelper()->destinationOfUpdateSchedulerPlist();
    return url && write(dictionary, *url);
}

bool KVLUpdateScheduler::isNextUpdateTimeExceeded() {
    KVL_LOG(KVLLogLevelInfo, "isNextUpdatetimeExceeded entered.");
    const auto next = mstrNextUpdateTime();
    if (!next) {
        KVL_LOG(KVLLogLevelInfo, "Next Update time not available, returning YES");
        return true;
    }
    KVL_LOG(KVLLogLevelInfo, "Next Update time %@", *next);
    const auto due = NSDateKVLExtensions::dateFromFormattedDate(*next, kDueTimePattern, kFileLocale);
    return !due || *due <= platform::Clock::now();
}

std::optional<platform::Date> KVLUpdateScheduler::convertTimeStringToDate(const std::optional<std::string>& timeOfDay) {
    if (!timeOfDay) {
        return std::nullopt;
    }
    const auto time = platform::DateFormatter("HH:mm", platform::Locale(kFileLocale)).dateFromString(*timeOfDay);
    if (!time) {
        return std::nullopt;
    }
    const platform::Calendar calendar;
    const auto today = calendar.components(platform::Clock::now());
    const auto clock = calendar.components(*time);
    platform::DateComponents wanted;
    wanted.year = today.year;
    wanted.month = today.month;
    wanted.day = today.day;
    wanted.hour = clock.hour;
    wanted.minute = clock.minute;
    return calendar.dateFromComponents(wanted);
}

void KVLUpdateScheduler::reCalculateNextUpdateTime() {
    KVL_LOG(KVLLogLevelInfo, "NextUpdateTime before reCalculateNextUpdateTime : %@", mstrNextUpdateTime());
    const platform::Date start = convertTimeStringToDate(mstrUpdateCheckStartTime()).value_or(platform::Clock::now());
    platform::Date end = convertTimeStringToDate(mstrUpdateCheckEndTime()).value_or(start);
    if (!(start < end)) {
        end = end.dateByAddingTimeInterval(kSecondsPerDay);
    }
    const double window = end.timeIntervalSinceDate(start);
    const double fraction = platform::Random::uniform32() * 2.3283064365386963e-10;
    const platform::Date pick = start.dateByAddingTimeInterval(window * fraction);
    const std::int32_t days = platform::Scanner::intValue(mstrUpdateDuration().value_or(""));
    // A signed 32-bit number of seconds, as the schedule has always used: durations beyond
    // about 24855 days saturate at its bounds rather than wrap.
    const std::int64_t shift = std::clamp<std::int64_t>(std::int64_t{days} * 86400, INT32_MIN, INT32_MAX);
    const platform::Date next = pick.dateByAddingTimeInterval(static_cast<double>(shift));
    setMstrNextUpdateTime(platform::DateFormatter(kDueTimePattern, platform::Locale(kFileLocale)).stringFromDate(next));
    KVL_LOG(KVLLogLevelInfo, "NextUpdateTime after reCalculateNextUpdateTime : %@", mstrNextUpdateTime());
}

std::optional<std::string> KVLUpdateScheduler::get(const std::optional<std::string>& field) const {
    std::lock_guard lock(mutex_);
    return field;
}

void KVLUpdateScheduler::set(std::optional<std::string>& field, std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    field = std::move(value);
}

std::optional<std::string> KVLUpdateScheduler::mstrNextUpdateTime() const { return get(mstrNextUpdateTime_); }
void KVLUpdateScheduler::setMstrNextUpdateTime(std::optional<std::string> value) {
    set(mstrNextUpdateTime_, std::move(value));
}
std::optional<std::string> KVLUpdateScheduler::mstrUpdateDuration() const { return get(mstrUpdateDuration_); }
void KVLUpdateScheduler::setMstrUpdateDuration(std::optional<std::string> value) {
    set(mstrUpdateDuration_, std::move(value));
}
std::optional<std::string> KVLUpdateScheduler::mstrUpdateCheckStartTime() const {
    return get(mstrUpdateCheckStartTime_);
}
void KVLUpdateScheduler::setMstrUpdateCheckStartTime(std::optional<std::string> value) {
    set(mstrUpdateCheckStartTime_, std::move(value));
}
std::optional<std::string> KVLUpdateScheduler::mstrUpdateCheckEndTime() const { return get(mstrUpdateCheckEndTime_); }
void KVLUpdateScheduler::setMstrUpdateCheckEndTime(std::optional<std::string> value) {
    set(mstrUpdateCheckEndTime_, std::move(value));
}
