#include "KVLSharedUtil/Reachability.h"

#include "Platform/Console.h"
#include "Platform/NotificationCenter.h"
#include "Platform/RunLoop.h"

namespace Flag = platform::NetworkReachabilityFlag;

Reachability::~Reachability() { stopNotifier(); }

void Reachability::reachabilityWithHostName(const std::string& hostName) {
    if (auto target = platform::NetworkReachability::createWithName(hostName)) {
        _reachabilityRef = std::move(target);
    }
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const platform::SocketAddress& address) {
    auto target = platform::NetworkReachability::createWithAddress(address);
    if (!target) {
        return nullptr;
    }
    auto reachability = std::make_shared<Reachability>();
    reachability->_reachabilityRef = std::move(target);
    return reachability;
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
    return reachabilityWithAddress(platform::SocketAddress::ipv4({0, 0, 0, 0}));
}

bool Reachability::startNotifier() {
    if (!_reachabilityRef) {
        return false;
    }
    // The target lives no longer than this instance, so it holds the instance unowned. The
    // flags are not passed along: receivers ask the instance.
    _reachabilityRef->setCallback([this](std::uint32_t) {
        platform::NotificationCenter::defaultCenter().postNotification(std::string(kReachabilityChangedNotification),
                                                                       this);
    });
    return _reachabilityRef->scheduleWithRunLoop(platform::RunLoop::current(), platform::kRunLoopDefaultMode);
}

void Reachability::stopNotifier() {
    if (_reachabilityRef) {
        _reachabilityRef->unscheduleFromRunLoop(platform::RunLoop::current(), platform::kRunLoopDefaultMode);
    }
}

NetworkStatus Reachability::networkStatusForFlags(std::uint32_t flags) const {
    const auto mark = [flags](std::uint32_t bit, char set) { return (flags & bit) != 0 ? set : '-'; };
    platform::Console::logFormat("Reachability Flag Status: %c%c %c%c%c%c%c%c%c %s\n", mark(Flag::Reachable, 'W'),
                                 mark(Flag::Reachable, 'R'), mark(Flag::TransientConnection, 't'),
                                 mark(Flag::ConnectionRequired, 'c'), mark(Flag::ConnectionOnTraffic, 'C'),
                                 mark(Flag::InterventionRequired, 'i'), mark(Flag::ConnectionOnDemand, 'D'),
                                 mark(Flag::IsLocalAddress, 'l'), mark(Flag::IsDirect, 'd'), "networkStatusForFlags");
    return (flags & Flag::Reachable) != 0 ? NetworkStatus::Reachable : NetworkStatus::NotReachable;
}

bool Reachability::connectionRequired() const {
    const auto flags = _reachabilityRef ? _reachabilityRef->flags() : std::nullopt;
    return flags.has_value() && (*flags & Flag::ConnectionRequired) != 0;
}

NetworkStatus Reachability::currentReachabilityStatus() const {
    const auto flags = _reachabilityRef ? _reachabilityRef->flags() : std::nullopt;
    return flags ? networkStatusForFlags(*flags) : NetworkStatus::NotReachable;
}
