#include "ErrorService/KVLLoadCount.h"

bool KVLLoadCount::isLoaded() {
    // Read as a compare-and-swap of 0 with 0.
    std::int64_t expected = 0;
    return !mCount_.compare_exchange_strong(expected, 0);
}

std::int64_t KVLLoadCount::increment() { return mCount_.fetch_add(1) + 1; }

std::int64_t KVLLoadCount::decrement() {
    // The test and the decrement are one compare-and-swap, so decrements racing on the last
    // load cannot take the count below 0.
    std::int64_t current = mCount_.load();
    while (current > 0) {
        if (mCount_.compare_exchange_weak(current, current - 1)) {
            return current - 1;
        }
    }
    return 0;
}
