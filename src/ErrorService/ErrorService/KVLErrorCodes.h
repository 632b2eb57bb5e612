#pragma once

#include <cstdint>

// Where an internal error record's code comes from.
enum KVLInternalErrorType : std::int32_t {
    KVLInternalErrorTypeNone = 0,
    KVLInternalErrorTypeInternal = 1,
    KVLInternalErrorTypeOther = 2,
    KVLInternalErrorTypePosix = 3,
    KVLInternalErrorTypeHttp = 4,
    KVLInternalErrorTypeOSStatus = 6,
    KVLInternalErrorTypeCocoa = 7,
    KVLInternalErrorTypeMach = 8,
};

// The codes of the system's own components: -10xxx any component, -14xxx the shared
// utilities, -17xxx the error service and the string manager.
enum KVLErrorCode : std::int64_t {
    KVLErrorCodeNone = 1,
    KVLErrorCodeInvalidParameters = -10001,
    KVLErrorCodeNotEnoughMemory = -10002,
    KVLErrorCodeUninitializedObject = -10003,
    KVLErrorCodeAlreadyInitialized = -10004,
    KVLErrorCodeUnexpected = -10005,
    KVLErrorCodeReadFailed = -14001,
    KVLErrorCodeShareModeNotSupported = -14002,
    KVLErrorCodeAlreadyExists = -14003,
    KVLErrorCodeLockFailed = -14004,
    KVLErrorCodeMainBundleNotLoaded = -17000,
    KVLErrorCodeDefaultBundleNotLoaded = -17001,
    KVLErrorCodeDefaultLanguageIdMissing = -17004,
    KVLErrorCodeLocaleLanguageIdMissing = -17005,
    KVLErrorCodeStringsFileNotFound = -17006,
};
