// Date texts parsed with the update scheduler's patterns: the next update time
// ("yyyy-MM-dd'T'HH:mm:ssZ", en_US, through the shared formatter cache) and the check
// window's times of day ("HH:mm"). A date that parses must format to a text that parses back
// to the same date.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KVLSharedUtil/NSDate+KVLExtensions.h"
#include "Platform/DateFormatter.h"

namespace {

void checkRoundTrip(const platform::DateFormatter& formatter, const std::string& text) {
    const auto date = formatter.dateFromString(text);
    if (!date) {
        return;
    }
    const auto reread = formatter.dateFromString(formatter.stringFromDate(*date));
    if (!reread || *reread != *date) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    static const auto dueTime = NSDateKVLExtensions::getDateFormatterForFormat("yyyy-MM-dd'T'HH:mm:ssZ", "en_US");
    static const platform::DateFormatter timeOfDay("HH:mm");
    checkRoundTrip(*dueTime, text);
    checkRoundTrip(timeOfDay, text);
    return 0;
}
