#include "Platform/DistributedLock.h"

namespace platform {

std::unique_ptr<DistributedLock> DistributedLock::lockWithPath(const std::string& path) {
    if (!canServePath(path)) {
        return nullptr;
    }
    return std::unique_ptr<DistributedLock>(new DistributedLock(path));
}

DistributedLock::DistributedLock(std::string path) : path_(std::move(path)) {}

}  // namespace platform
