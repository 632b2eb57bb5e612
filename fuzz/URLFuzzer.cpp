// URLs made from arbitrary text against a base made from arbitrary text: the input's first
// line is the base, the rest the reference. A URL made must read back from its own text as
// the same URL.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Platform/URL.h"

using platform::URL;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const std::string_view baseText = input.substr(0, lineEnd);
    const std::string_view reference =
        lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);

    const auto base = URL::URLWithString(baseText);
    const auto url = URL::URLWithString(reference, base);
    if (!url) {
        return 0;
    }
    const auto reread = URL::URLWithString(url->absoluteString());
    if (!reread || !(*reread == *url)) {
        std::abort();
    }
    (void)url->path();
    (void)url->lastPathComponent();
    (void)url->pathExtension();
    (void)url->URLByDeletingLastPathComponent();
    return 0;
}
