#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/PlistValue.h"

namespace platform {

// One posted notification (the NSNotification stand-in). The object is the poster's,
// identified by address; the center neither owns nor keeps it.
struct Notification {
    std::string name;
    void* object = nullptr;
    std::optional<PlistDictionary> userInfo;
};

// A notification center (the NSNotificationCenter stand-in). A post calls the matching
// observers synchronously on the posting thread, in the order they were added. Observers may
// be added and removed from any thread, also from inside an observer; an observer removed
// before the post reaches it is not called.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using ObserverToken = std::uint64_t;

    // The process's default center.
    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Calls `observer` for every notification named `name` whose object is `object`, or for
    // every object when `object` is null. The token removes the observer.
    ObserverToken addObserver(std::string name, void* object, Observer observer);

    // Returns false for a token that is unknown or already removed.
    bool removeObserver(ObserverToken token);

    void postNotification(std::string name, void* object, std::optional<PlistDictionary> userInfo = std::nullopt);

private:
    struct Registration {
        ObserverToken token;
        std::string name;
        void* object;
        Observer observer;
        std::atomic<bool> removed{false};
    };

    std::mutex mutex_;
    std::vector<std::shared_ptr<Registration>> registrations_;
    ObserverToken nextToken_ = 1;
};

}  // namespace platform
