#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "KVLSharedUtil/IKVLAPIBypass.h"

// The process-wide holder of the API bypass object; enterSafeZone and exitSafeZone bracket
// every file-system operation of the shared libraries.
class KVLSharedUtil {
public:
    KVLSharedUtil() = default;
    ~KVLSharedUtil();
    KVLSharedUtil(const KVLSharedUtil&) = delete;
    KVLSharedUtil& operator=(const KVLSharedUtil&) = delete;

    // Created once on first use, from any thread; never null.
    static std::shared_ptr<KVLSharedUtil> sharedInstance();
    static void enterSafeZone();
    static void exitSafeZone();

    std::shared_ptr<IKVLAPIBypass> getAPIBypass() const;
    // Null releases the held object. The object is read atomically, so installing one while
    // other threads run is safe, though it may miss their brackets already in progress.
    void setAPIBypass(std::shared_ptr<IKVLAPIBypass> bypass);

private:
    static const std::shared_ptr<KVLSharedUtil>& instance();

    std::atomic<std::shared_ptr<IKVLAPIBypass>> mAPIBypass_;
    // Whether an object is held: most processes never install one, and this spares their
    // brackets the shared pointer's lock. Written with the object, under the setter's mutex,
    // so that it never disagrees with the last object installed.
    std::atomic<bool> mbHasAPIBypass_{false};
    std::mutex mSetterMutex_;
};
