#include "KVLSharedUtil/KVLDistributedLock.h"

#include <chrono>
#include <thread>

#include "LoggerService/KVLLog.h"
#include "Platform/FileManager.h"
#include "Platform/Format.h"
#include "Platform/PathUtilities.h"

namespace {

// The polling step: single-precision 0.05 widened (0.05000000074505806), for the sleep and for
// the count of the remaining time alike, so a timeout t gives ceil(t / 0.05) attempts.
constexpr double kPollingStep = static_cast<double>(0.05f);

void failWithLockError(IKVLInternalError* error, const std::string& message, std::int64_t line) {
    if (error != nullptr) {
        error->populateWithErrorMessage(message, KVLErrorCodeLockFailed, KVLInternalErrorTypeInternal, KVL_SOURCE_PATH,
                                        line, std::nullopt);
        KVLLogInternalError(*error);
    }
}

}  // namespace

KVLDistributedLock::KVLDistributedLock(const std::string& path) : platform::DistributedLock(path) {}

std::unique_ptr<KVLDistributedLock> KVLDistributedLock::lockForProcessWithBundleId(const std::string& bundleId,
                                                                                   std::int32_t pid,
                                                                                   const std::string& namePrefix,
                                                                                   const std::string& folderPath,
                                                                                   IKVLInternalError* error) {
    const std::string lockPath = platform::PathUtilities::stringByAppendingPathComponent(
        folderPath, platform::formatString("%@%@_%d", namePrefix, bundleId, pid));

    platform::Error failure;
    if (!platform::FileManager::createDirectoryAtPath(folderPath, true, {}, &failure)) {
        if (error != nullptr) {
            error->populateWithNSError(
                failure,
                platform::formatString(
                    "Failed to create folder '%@' to create process lock for app with bundle-id '%@' and PID '%d'.",
                    folderPath, bundleId, pid),
                KVL_SOURCE_PATH, __LINE__, std::nullopt);
            KVLLogInternalError(*error);
        }
        return nullptr;
    }
    // Truncation in place keeps the file's identity, and with it the hold of a current holder.
    if (!platform::FileManager::createFileAtPath(lockPath, {})) {
        failWithLockError(
            error,
            platform::formatString(
                "Failed to create file '%@' to create process lock for app with bundle-id '%@' and PID '%d'.", lockPath,
                bundleId, pid),
            __LINE__);
        return nullptr;
    }
    auto lock = initWithPath(lockPath);
    if (lock == nullptr) {
        failWithLockError(error, platform::formatString("Failed to create lock using file '%@'.", lockPath), __LINE__);
    }
    return lock;
}

std::unique_ptr<KVLDistributedLock> KVLDistributedLock::initWithPath(const std::string& path) {
    if (!canServePath(path)) {
        return nullptr;
    }
    std::unique_ptr<KVLDistributedLock> lock(new KVLDistributedLock(path));
    lock->setMstrLockPath(path);
    return lock;
}

bool KVLDistributedLock::tryLockWithTimeout(double timeout) {
    double remaining = timeout;
    do {
        try {
            if (tryLock()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::duration<double>(kPollingStep));
        } catch (const platform::Exception& exception) {
            KVL_LOG(KVLLogLevelWarn, "Exception while trying to lock '%@' : %@", mstrLockPath(), exception);
        }
        remaining -= kPollingStep;
    } while (remaining > 0);
    return false;
}

std::optional<std::string> KVLDistributedLock::mstrLockPath() const {
    std::lock_guard lock(mutex_);
    return mstrLockPath_;
}

void KVLDistributedLock::setMstrLockPath(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    mstrLockPath_ = std::move(path);
}
