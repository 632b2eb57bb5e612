#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// A class file's path as its log lines and error records carry it: relative to the source
// tree (the build maps the prefix away) and without its extension.
constexpr std::size_t sourcePathLength(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return path.size();
    }
    return dot;
}

template <std::size_t N>
struct SourcePathText {
    char text[N + 1]{};
    constexpr explicit SourcePathText(std::string_view path) {
        for (std::size_t i = 0; i < N; ++i) {
            text[i] = path[i];
        }
    }
};

}  // namespace platform

// The calling file's source path, e.g. "src/LoggerService/LoggerService/Private/KVLLoggerService".
#define KVL_SOURCE_PATH                                                                                            \
    ([]() -> const char* {                                                                                         \
        static constexpr ::platform::SourcePathText<::platform::sourcePathLength(__FILE__)> kSourcePath{__FILE__}; \
        return kSourcePath.text;                                                                                   \
    }())
