// Strings tables parsed from arbitrary bytes (text in UTF-8 or UTF-16, or a property list).
// A table is read whole or not at all: a failure always says why.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Platform/StringsTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::Error error;
    const auto table = platform::StringsTable::tableWithData(bytes, &error);
    if (!table && (error.code != 3840 || error.localizedDescription.empty())) {
        std::abort();
    }
    return 0;
}
