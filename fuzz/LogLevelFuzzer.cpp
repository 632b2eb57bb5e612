// The system preferences' log-level text, as read from the preferences file: decimal or
// "0x" hexadecimal. Whatever the text, the level has the info bits set and no bit outside
// the meaningful ones, unless it is all bits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KVLUpdaterConfigService/Private/KVLUpdaterSystemPreferences.h"

namespace {
constexpr std::uint32_t kInfoLevel = 0xF0000000;
constexpr std::uint32_t kMeaningfulBits = 0xF1000008;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KVLUpdaterSystemPreferences preferences(platform::PlistDictionary{
        {"LogLevel", platform::PlistValue(std::string(reinterpret_cast<const char*>(data), size))}});
    const auto level = static_cast<std::uint32_t>(preferences.logLevel());
    if ((level & kInfoLevel) != kInfoLevel || (level != 0xFFFFFFFF && (level & ~kMeaningfulBits) != 0)) {
        std::abort();
    }
    return 0;
}
