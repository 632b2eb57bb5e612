#pragma once

#include <optional>
#include <vector>

struct NSArrayKVExtensions {
    // True for a null or empty array.
    template <typename T>
    static bool isNilOrEmpty(const std::optional<std::vector<T>>& array) {
        return !array || array->empty();
    }
};
