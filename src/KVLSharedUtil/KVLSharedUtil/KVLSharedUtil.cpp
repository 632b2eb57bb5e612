#include "KVLSharedUtil/KVLSharedUtil.h"

KVLSharedUtil::~KVLSharedUtil() { setAPIBypass(nullptr); }

std::shared_ptr<KVLSharedUtil> KVLSharedUtil::sharedInstance() {
    static const std::shared_ptr<KVLSharedUtil> sSharedInstance = std::make_shared<KVLSharedUtil>();
    return sSharedInstance;
}

void KVLSharedUtil::enterSafeZone() {
    if (const auto bypass = sharedInstance()->getAPIBypass()) {
        bypass->enter();
    }
}

void KVLSharedUtil::exitSafeZone() {
    if (const auto bypass = sharedInstance()->getAPIBypass()) {
        bypass->exit();
    }
}

std::shared_ptr<IKVLAPIBypass> KVLSharedUtil::getAPIBypass() const { return mAPIBypass_.load(); }

void KVLSharedUtil::setAPIBypass(std::shared_ptr<IKVLAPIBypass> bypass) { mAPIBypass_.store(std::move(bypass)); }
