#pragma once

#include <atomic>
#include <cstdint>

// The load count of a counted service. It changes only by atomic increment, decrement and
// compare-and-swap, and never goes below 0; the service is loaded while it is not 0.
class KVLLoadCount {
public:
    bool isLoaded();
    std::int64_t increment();
    // 0 without a change when the count is 0; otherwise the decremented count.
    std::int64_t decrement();

private:
    std::atomic<std::int64_t> mCount_{0};
};
