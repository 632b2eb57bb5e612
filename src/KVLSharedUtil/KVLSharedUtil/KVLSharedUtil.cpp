#include "KVLSharedUtil/KVLSharedUtil.h"

KVLSharedUtil::~KVLSharedUtil() { setAPIBypass(nullptr); }

std::shared_ptr<KVLSharedUtil> KVLSharedUtil::sharedInstance() { return instance(); }

const std::shared_ptr<KVLSharedUtil>& KVLSharedUtil::instance() {
    static const std::shared_ptr<KVLSharedUtil> sSharedInstance = std::make_shared<KVLSharedUtil>();
    return sSharedInstance;
}

void KVLSharedUtil::enterSafeZone() {
    if (const auto bypass = instance()->getAPIBypass()) {
        bypass->enter();
    }
}

void KVLSharedUtil::exitSafeZone() {
    if (const auto bypass = instance()->getAPIBypass()) {
        bypass->exit();
    }
}

std::shared_ptr<IKVLAPIBypass> KVLSharedUtil::getAPIBypass() const {
    if (!mbHasAPIBypass_.load(std::memory_order_acquire)) {
        return nullptr;
    }
    return mAPIBypass_.load();
}

void KVLSharedUtil::setAPIBypass(std::shared_ptr<IKVLAPIBypass> bypass) {
    const std::lock_guard lock(mSetterMutex_);
    const bool held = bypass != nullptr;
    mAPIBypass_.store(std::move(bypass));
    mbHasAPIBypass_.store(held, std::memory_order_release);
}
