#pragma once

#include <cstdint>
#include <string_view>

#include "ErrorService/IKVLInternalError.h"
#include "ErrorService/KVLErrorCodes.h"
#include "KVLSharedUtil/IKVLStream.h"

// What the streams share: how they report a failure of their own, and the step that makes a
// file long enough before a write at an offset.
struct KVLStreamSupport {
    // Fills the record (when there is one) as an internal failure of file and line, and logs it.
    static void fail(IKVLInternalError* error, const char* message, KVLErrorCode code, std::string_view file,
                     std::int64_t line);
    // Whether a required argument was given; when not, fails the record with the message as
    // an invalid parameter.
    static bool given(const void* argument, IKVLInternalError* error, const char* message, std::string_view file,
                      std::int64_t line);
    // Whether the caller's record, as the caller sees it, still holds no failure.
    static bool succeeded(const IKVLInternalError* error) { return error == nullptr || error->isSuccess(); }
    // A write at or beyond the end first sets the size to the offset; false when that or the
    // size query failed (the record says why).
    static bool extendToOffset(IKVLStream& stream, std::uint64_t offset, IKVLInternalError* error);
};
