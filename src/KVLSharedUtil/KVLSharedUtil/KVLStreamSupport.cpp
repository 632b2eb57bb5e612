#include "KVLSharedUtil/KVLStreamSupport.h"

#include <optional>
#include <string>

#include "LoggerService/KVLLog.h"

void KVLStreamSupport::fail(IKVLInternalError* error, const char* message, KVLErrorCode code, std::string_view file,
                            std::int64_t line) {
    if (error != nullptr) {
        error->populateWithErrorMessage(message, code, KVLInternalErrorTypeInternal, std::string(file), line,
                                        std::nullopt);
        KVLLogInternalError(*error);
    }
}

bool KVLStreamSupport::given(const void* argument, IKVLInternalError* error, const char* message, std::string_view file,
                             std::int64_t line) {
    if (argument == nullptr) {
        fail(error, message, KVLErrorCodeInvalidParameters, file, line);
    }
    return argument != nullptr;
}

bool KVLStreamSupport::extendToOffset(IKVLStream& stream, std::uint64_t offset, IKVLInternalError* error) {
    std::uint64_t size = 0;
    stream.getSize(&size, error);
    if (!succeeded(error)) {
        return false;
    }
    if (size <= offset) {
        stream.setSize(offset, error);
    }
    return succeeded(error);
}
