#pragma once

#include <atomic>
#include <memory>

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
    std::atomic<std::shared_ptr<IKVLAPIBypass>> mAPIBypass_;
};
