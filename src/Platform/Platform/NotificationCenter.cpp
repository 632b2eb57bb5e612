#include "Platform/NotificationCenter.h"

#include <algorithm>
#include <utility>

namespace platform {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name, void* object, Observer observer) {
    auto registration = std::make_shared<Registration>();
    registration->name = std::move(name);
    registration->object = object;
    registration->observer = std::move(observer);
    std::lock_guard lock(mutex_);
    registration->token = nextToken_++;
    registrations_.push_back(registration);
    return registration->token;
}

bool NotificationCenter::removeObserver(ObserverToken token) {
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(registrations_.begin(), registrations_.end(),
                                    [token](const auto& registration) { return registration->token == token; });
    if (found == registrations_.end()) {
        return false;
    }
    // A post in progress holds its own list: the flag keeps it from calling this observer.
    (*found)->removed = true;
    registrations_.erase(found);
    return true;
}

void NotificationCenter::postNotification(std::string name, void* object, std::optional<PlistDictionary> userInfo) {
    const Notification notification{std::move(name), object, std::move(userInfo)};
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& registration : registrations_) {
            if (registration->name == notification.name &&
                (registration->object == nullptr || registration->object == object)) {
                matching.push_back(registration);
            }
        }
    }
    for (const auto& registration : matching) {
        if (!registration->removed) {
            registration->observer(notification);
        }
    }
}

}  // namespace platform
