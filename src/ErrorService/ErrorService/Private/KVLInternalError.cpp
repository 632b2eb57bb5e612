#include "ErrorService/Private/KVLInternalError.h"

#include <cstring>

#include "Platform/Format.h"
#include "Platform/HTTPStatus.h"

void KVLInternalError::populate(Fields fields) {
    fields.mbSuccess = false;
    std::lock_guard lock(mutex_);
    fields_ = std::move(fields);
    mDescriptionString_.reset();
}

std::string KVLInternalError::joinWithSystemText(const std::optional<std::string>& message,
                                                 const std::string& systemText) {
    return message ? platform::formatString("%@ - %@", *message, systemText) : systemText;
}

void KVLInternalError::populateWithErrorMessage(const std::optional<std::string>& message, std::int64_t code,
                                                std::int32_t type, const std::optional<std::string>& file,
                                                std::int64_t line,
                                                const std::optional<platform::PlistDictionary>& context) {
    populate({message, code, type, file, line, context});
}

void KVLInternalError::populateWithNSError(const platform::Error& error, const std::optional<std::string>& message,
                                           const std::optional<std::string>& file, std::int64_t line,
                                           const std::optional<platform::PlistDictionary>& context) {
    populate({joinWithSystemText(message, error.localizedDescription), error.code, getNSErrorSubTypeFrom(error.domain),
              file, line, context});
}

void KVLInternalError::populateWithErrorno(std::int32_t errnum, const std::optional<std::string>& message,
                                           const std::optional<std::string>& file, std::int64_t line,
                                           const std::optional<platform::PlistDictionary>& context) {
    // strerror_r (GNU) answers "Unknown error N" for numbers it does not know.
    char buffer[256];
    const char* text = strerror_r(errnum, buffer, sizeof buffer);
    const bool known = text != nullptr && std::strncmp(text, "Unknown error", 13) != 0;
    const std::string systemText =
        known ? std::string(text)
              : platform::formatString("System Error Message Not Found For Error Number: %d", errnum);
    populate({joinWithSystemText(message, systemText), static_cast<std::int64_t>(errnum), KVLInternalErrorTypePosix,
              file, line, context});
}

void KVLInternalError::populateWithHttpStatusCode(std::uint32_t status, const std::optional<std::string>& message,
                                                  const std::optional<std::string>& file, std::int64_t line,
                                                  const std::optional<platform::PlistDictionary>& context) {
    const std::string systemText = platform::HTTPStatus::localizedStringForStatusCode(static_cast<int>(status));
    populate({joinWithSystemText(message, systemText), static_cast<std::int64_t>(status), KVLInternalErrorTypeHttp,
              file, line, context});
}

void KVLInternalError::populateFromError(const IKVLInternalError* other) {
    if (other == nullptr || other == this) {
        return;
    }
    Fields copy{other->getDescription(), other->getErrorCode(), other->getErrorType(), other->getFileName(),
                other->getLineNo(),      other->getContext(),   other->isSuccess()};
    std::lock_guard lock(mutex_);
    fields_ = std::move(copy);
    mDescriptionString_.reset();
}

std::int64_t KVLInternalError::getErrorCode() const {
    std::lock_guard lock(mutex_);
    return fields_.mErrorCode;
}

std::optional<std::string> KVLInternalError::getDescription() const {
    std::lock_guard lock(mutex_);
    return fields_.mErrorMessage;
}

std::int32_t KVLInternalError::getErrorType() const {
    std::lock_guard lock(mutex_);
    return fields_.mErrorType;
}

bool KVLInternalError::isSuccess() const {
    std::lock_guard lock(mutex_);
    return fields_.mbSuccess;
}

void KVLInternalError::reset() {
    std::lock_guard lock(mutex_);
    fields_ = Fields{};
    mDescriptionString_.reset();
}

std::optional<std::string> KVLInternalError::getFileName() const {
    std::lock_guard lock(mutex_);
    return fields_.mInFile;
}

std::int64_t KVLInternalError::getLineNo() const {
    std::lock_guard lock(mutex_);
    return fields_.mAtLine;
}

std::optional<platform::PlistDictionary> KVLInternalError::getContext() const {
    std::lock_guard lock(mutex_);
    return fields_.mContext;
}

std::string KVLInternalError::description() const {
    std::lock_guard lock(mutex_);
    if (!mDescriptionString_) {
        mDescriptionString_ =
            platform::formatString("Code: %ld, Type: %d, Message: %@, Context: %@", fields_.mErrorCode,
                                   fields_.mErrorType, fields_.mErrorMessage, fields_.mContext);
    }
    return *mDescriptionString_;
}

std::int32_t KVLInternalError::getNSErrorSubTypeFrom(std::string_view domain) {
    if (domain == platform::kCocoaErrorDomain) {
        return KVLInternalErrorTypeCocoa;
    }
    if (domain == platform::kPOSIXErrorDomain) {
        return KVLInternalErrorTypePosix;
    }
    if (domain == platform::kOSStatusErrorDomain) {
        return KVLInternalErrorTypeOSStatus;
    }
    if (domain == platform::kMachErrorDomain) {
        return KVLInternalErrorTypeMach;
    }
    return KVLInternalErrorTypeOther;
}
