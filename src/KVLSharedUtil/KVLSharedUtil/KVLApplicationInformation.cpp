#include "KVLSharedUtil/KVLApplicationInformation.h"

#include "Platform/ProcessInfo.h"

bool KVLApplicationInformation::isApplicationSandboxed() {
    return platform::ProcessInfo::environmentValue("APP_SANDBOX_CONTAINER_ID").has_value();
}
