#include "Platform/NetworkReachability.h"

#include <algorithm>
#include <mutex>
#include <type_traits>
#include <utility>
#include <variant>

#include "Platform/NetworkReachabilitySystem.h"

namespace platform {

namespace {

// The longest name the domain name system can carry, in its text form.
constexpr std::size_t kMaxHostNameLength = 253;

struct FlagsSourceState {
    std::mutex mutex;
    NetworkReachability::FlagsSource source;
};

FlagsSourceState& flagsSourceState() {
    static FlagsSourceState state;
    return state;
}

}  // namespace

SocketAddress SocketAddress::ipv4(std::array<std::uint8_t, 4> address, std::uint16_t port) {
    SocketAddress result;
    result.length = kLengthIPv4;
    result.family = kFamilyIPv4;
    result.port = port;
    std::copy(address.begin(), address.end(), result.address.begin());
    return result;
}

SocketAddress SocketAddress::ipv6(const std::array<std::uint8_t, 16>& address, std::uint16_t port) {
    SocketAddress result;
    result.length = kLengthIPv6;
    result.family = kFamilyIPv6;
    result.port = port;
    result.address = address;
    return result;
}

std::unique_ptr<NetworkReachability> NetworkReachability::createWithName(std::string_view hostName) {
    if (hostName.empty() || hostName.size() > kMaxHostNameLength || hostName.find('\0') != std::string_view::npos) {
        return nullptr;
    }
    return std::unique_ptr<NetworkReachability>(new NetworkReachability(std::string(hostName)));
}

std::unique_ptr<NetworkReachability> NetworkReachability::createWithAddress(const SocketAddress& address) {
    const bool wellFormed =
        (address.family == SocketAddress::kFamilyIPv4 && address.length == SocketAddress::kLengthIPv4) ||
        (address.family == SocketAddress::kFamilyIPv6 && address.length == SocketAddress::kLengthIPv6);
    if (!wellFormed) {
        return nullptr;
    }
    return std::unique_ptr<NetworkReachability>(new NetworkReachability(address));
}

NetworkReachability::NetworkReachability(Target target) : target_(std::move(target)) {}

NetworkReachability::~NetworkReachability() {
    if (loop_) {
        const auto loop = loop_;
        const std::string mode = mode_;
        unscheduleFromRunLoop(loop, mode);
    }
}

std::optional<std::uint32_t> NetworkReachability::flags() const {
    FlagsSource source;
    {
        const std::lock_guard lock(flagsSourceState().mutex);
        source = flagsSourceState().source;
    }
    if (source) {
        return source();
    }
    return std::visit(
        [](const auto& target) {
            if constexpr (std::is_same_v<std::decay_t<decltype(target)>, std::string>) {
                return detail::systemHostNameFlags(target);
            } else {
                return detail::systemAddressFlags(target);
            }
        },
        target_);
}

void NetworkReachability::setCallback(Callback callback) { callback_ = std::move(callback); }

bool NetworkReachability::scheduleWithRunLoop(const std::shared_ptr<RunLoop>& loop, std::string_view mode) {
    if (!loop || loop_) {
        return false;
    }
    auto monitor = detail::NetworkChangeMonitor::open();
    if (!monitor) {
        return false;
    }
    // The monitor opens before the first reading, so no change can fall between the two.
    monitor_ = std::move(monitor);
    lastFlags_ = flags();
    loop_ = loop;
    mode_ = std::string(mode);
    sourceId_ = loop->addDescriptorSource(
        monitor_->descriptor(), [this] { handleChanges(); }, mode);
    return true;
}

bool NetworkReachability::unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& loop, std::string_view mode) {
    if (!loop_ || loop_ != loop || mode_ != mode) {
        return false;
    }
    loop_->removeSource(sourceId_);
    monitor_.reset();
    loop_.reset();
    mode_.clear();
    lastFlags_.reset();
    return true;
}

void NetworkReachability::handleChanges() {
    monitor_->drain();
    const auto current = flags();
    if (!current || current == lastFlags_) {
        return;
    }
    lastFlags_ = current;
    // A copy: the callback may destroy this target, and with it the member.
    const Callback callback = callback_;
    if (callback) {
        callback(*current);
    }
}

NetworkReachability::FlagsSource NetworkReachability::exchangeFlagsSource(FlagsSource source) {
    const std::lock_guard lock(flagsSourceState().mutex);
    std::swap(flagsSourceState().source, source);
    return source;
}

}  // namespace platform
