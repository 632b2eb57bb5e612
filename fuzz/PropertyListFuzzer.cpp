// Property lists read from arbitrary bytes, XML or binary. A list that reads and can be
// written as XML must read back from that XML to a value that writes the same XML again.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Platform/PropertyListSerialization.h"

using platform::PropertyListSerialization;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::Error error;
    const auto value = PropertyListSerialization::propertyListWithData(bytes, &error);
    if (!value) {
        return 0;
    }
    (void)value->description();
    const auto xml = PropertyListSerialization::xmlDataWithPropertyList(*value);
    if (!xml) {
        return 0;
    }
    const auto reread = PropertyListSerialization::propertyListWithData(*xml);
    if (!reread || PropertyListSerialization::xmlDataWithPropertyList(*reread) != xml) {
        std::abort();
    }
    return 0;
}
