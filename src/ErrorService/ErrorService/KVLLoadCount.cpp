#include "ErrorService/KVLLoadCount.h"

bool KVLLoadCount::isLoaded() {
    // Read as a compare-and-swap of 0 with 0.
    std::int64_t expected = 0;
    return !mCount_.compare_exchange_strong(expected, 0);
}

std::int64_t KVLLoadCount::increment() { return mCount_.fetch_add(1) + 1; }

std::int64_t KVLLoadCount::decrement() {
    if (!isLoaded()) {
        return 0;
    }
    return mCount_.fetch_sub(1) - 1;
}
