// The platform's formatting with "%@", positional arguments and "*" against arbitrary
// arguments: the input is split into a few arguments of different kinds and, last, the
// format. Formatting must never read past the list, whatever the format asks for.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Format.h"
#include "Platform/PlistValue.h"

namespace {

constexpr std::size_t kMostArguments = 6;

// Keeps what the arguments borrow alive while they are formatted.
struct ArgumentStore {
    std::vector<std::string> texts;
    std::vector<platform::PlistValue> objects;
};

platform::FormatArg makeArgument(FuzzedDataProvider& input, ArgumentStore& store) {
    switch (input.ConsumeIntegralInRange<int>(0, 6)) {
        case 0: return platform::FormatArg();
        case 1: return platform::FormatArg(input.ConsumeIntegral<std::int64_t>());
        case 2: return platform::FormatArg(input.ConsumeIntegral<std::uint64_t>());
        case 3: return platform::FormatArg(input.ConsumeFloatingPoint<double>());
        case 4: return platform::FormatArg(store.texts.emplace_back(input.ConsumeRandomLengthString(64)));
        case 5: return platform::FormatArg(store.objects.emplace_back(input.ConsumeRandomLengthString(64)));
        default: return platform::FormatArg(reinterpret_cast<const void*>(input.ConsumeIntegral<std::uintptr_t>()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    ArgumentStore store;
    // Reserved up front: the arguments point into the store, which must not move.
    store.texts.reserve(kMostArguments);
    store.objects.reserve(kMostArguments);
    std::vector<platform::FormatArg> arguments;
    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, kMostArguments);
    for (std::size_t i = 0; i < count; ++i) {
        arguments.push_back(makeArgument(input, store));
    }
    const std::string format = input.ConsumeRemainingBytesAsString();
    (void)platform::formatStringArgs(format, arguments);
    return 0;
}
