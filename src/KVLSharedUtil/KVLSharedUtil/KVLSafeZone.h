#pragma once

#include "KVLSharedUtil/KVLSharedUtil.h"

// Enters the safe zone for its lifetime: every return path, an exception's included, exits
// exactly once. Bracketed operations begin with `KVLSafeZone zone;`.
class KVLSafeZone {
public:
    KVLSafeZone() { KVLSharedUtil::enterSafeZone(); }
    ~KVLSafeZone() { KVLSharedUtil::exitSafeZone(); }
    KVLSafeZone(const KVLSafeZone&) = delete;
    KVLSafeZone& operator=(const KVLSafeZone&) = delete;
};
