#include "Platform/Random.h"

#include <mutex>
#include <random>

namespace platform {

namespace {

struct Source {
    std::mutex mutex;
    std::mt19937 engine{std::random_device{}()};
    std::function<std::uint32_t()> testSource;
};

Source& source() {
    static Source instance;
    return instance;
}

}  // namespace

std::uint32_t Random::uniform32() {
    Source& random = source();
    std::lock_guard lock(random.mutex);
    return random.testSource ? random.testSource() : static_cast<std::uint32_t>(random.engine());
}

void Random::setSourceForTesting(std::function<std::uint32_t()> testSource) {
    Source& random = source();
    std::lock_guard lock(random.mutex);
    random.testSource = std::move(testSource);
}

}  // namespace platform
