#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Uniformly random numbers (the arc4random stand-in); safe from any thread. Tests set the
// source so that random rules are checked exactly.
class Random {
public:
    static std::uint32_t uniform32();
    // An empty function restores the system source.
    static void setSourceForTesting(std::function<std::uint32_t()> source);
};

}  // namespace platform
