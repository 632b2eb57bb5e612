#include "Platform/Host.h"

#include <mutex>

namespace platform {

std::vector<std::string> systemHostAddresses();  // Host_posix.cpp

namespace {

struct SourceState {
    std::mutex mutex;
    Host::AddressSource source;
};

SourceState& sourceState() {
    static SourceState state;
    return state;
}

}  // namespace

std::vector<std::string> Host::currentHostAddresses() {
    AddressSource source;
    {
        const std::lock_guard lock(sourceState().mutex);
        source = sourceState().source;
    }
    return source ? source() : systemHostAddresses();
}

Host::AddressSource Host::exchangeAddressSource(AddressSource source) {
    const std::lock_guard lock(sourceState().mutex);
    std::swap(sourceState().source, source);
    return source;
}

}  // namespace platform
