// fetchStringWithSeparators on arbitrary text, separators and search string, taken from the
// input in that order. For ASCII texts the answer is checked against a plain split.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "KVLSharedUtil/NSString+KVExtensions.h"

namespace {

bool isASCII(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool equalIgnoringASCIICase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::string> reference(const std::string& receiver, const std::string& separators,
                                     const std::string& search) {
    std::vector<std::string> components(1);
    for (const char c : receiver) {
        if (separators.find(c) != std::string::npos) {
            components.emplace_back();
        } else {
            components.back() += c;
        }
    }
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        if (equalIgnoringASCIICase(components[i], search)) {
            return components[i + 1];
        }
    }
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string separators = input.ConsumeRandomLengthString(8);
    const std::string search = input.ConsumeRandomLengthString(32);
    const std::string receiver = input.ConsumeRemainingBytesAsString();
    const auto found = NSStringKVExtensions::fetchStringWithSeparators(receiver, separators, search);
    if (isASCII(receiver) && isASCII(separators) && isASCII(search) &&
        found != reference(receiver, separators, search)) {
        std::abort();
    }
    return 0;
}
